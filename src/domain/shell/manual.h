#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The operator's manual compiled into the program (data/manual): HTML pages,
// a contents page and an index page whose links the help window lists. A
// menu command's topic is the anchor named after its action (`HYDJ`, `hlep4`).
namespace Manual {

struct Entry
{
    QString text; // as the list shows it
    QString link; // page, or page#anchor
};

// Every page's file name, sorted.
QStringList pages();
// A page's HTML; empty when there is no such page.
QString html(const QString &page);
// The targets of the page's links (href; "#a" as page#a), and the anchors it names.
QStringList links(const QString &page);
QStringList anchors(const QString &page);
// True when a link found on a page leads to a page of the manual (and to an anchor on it).
bool resolves(const QString &link);
// The page#anchor of a topic; empty when no page names it.
QString topic(const QString &anchor);
// The chapters in reading order, and the index terms in the index's order.
QList<Entry> contents();
QList<Entry> terms();

// Where the manual's pages are found, for a text browser's search paths.
QString root();
}
