#pragma once

#include <QString>

class Connection;
class QComboBox;
class QListWidget;

// Pick lists of the customer fields and of the itinerary cells.
namespace FieldHelp {
// Fills a drop-down ("COMB") or a check list ("LIST") with the values of
// `colmname` from the rows of `checkname` whose `checkcolm` equals `checkvalue`.
// A check list whose query finds nothing keeps its items.
void ShowHelp(Connection &connection, const QString &comblx, const QString &checkname, const QString &checkcolm,
              const QString &checkvalue, const QString &colmname, QComboBox *combo, QListWidget *list);
// Fills a cell drop-down from the value list of a class; its text becomes the first value.
void Showit(Connection &connection, QComboBox *comb, const QString &strlx);
// The checked items of a check list, each followed by one blank.
QString checkedText(const QListWidget *list);
// 1 and 2 typed into the sex field stand for 男 and 女.
QString sexShorthand(const QString &text);
}
