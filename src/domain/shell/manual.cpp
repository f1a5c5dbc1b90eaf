#include "domain/shell/manual.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

static void initManualResources()
{
    Q_INIT_RESOURCE(manual);
}

namespace {

QList<Manual::Entry> entriesOf(const QString &page)
{
    // <a href="...">text</a>, the text without the tags it may hold.
    static const QRegularExpression link(QStringLiteral("<a\\s+href=\"([^\"]*)\"[^>]*>(.*?)</a>"),
                                         QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    QList<Manual::Entry> entries;
    auto it = link.globalMatch(Manual::html(page));
    while (it.hasNext()) {
        const auto m = it.next();
        entries.append({m.captured(2).remove(tag).simplified(), m.captured(1)});
    }
    return entries;
}

QStringList captures(const QString &text, const QString &pattern)
{
    const QRegularExpression re(pattern);
    QStringList found;
    auto it = re.globalMatch(text);
    while (it.hasNext())
        found << it.next().captured(1);
    return found;
}

} // namespace

QString Manual::root()
{
    initManualResources();
    return QStringLiteral(":/manual");
}

QStringList Manual::pages()
{
    return QDir(root()).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
}

QString Manual::html(const QString &page)
{
    QFile file(root() + QLatin1Char('/') + page);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList Manual::links(const QString &page)
{
    QStringList links = captures(html(page), QStringLiteral("href=\"([^\"]*)\""));
    // "#anchor" is on the page itself.
    for (QString &link : links)
        if (link.startsWith(QLatin1Char('#')))
            link.prepend(page);
    return links;
}

QStringList Manual::anchors(const QString &page)
{
    return captures(html(page), QStringLiteral("<a\\s+name=\"([^\"]*)\""));
}

bool Manual::resolves(const QString &link)
{
    const QString page = link.section(QLatin1Char('#'), 0, 0);
    const QString anchor = link.section(QLatin1Char('#'), 1);
    if (!pages().contains(page))
        return false;
    return anchor.isEmpty() || anchors(page).contains(anchor);
}

QString Manual::topic(const QString &anchor)
{
    for (const QString &page : pages())
        if (anchors(page).contains(anchor))
            return page + QLatin1Char('#') + anchor;
    return QString();
}

QList<Manual::Entry> Manual::contents()
{
    return entriesOf(QStringLiteral("contents.html"));
}

QList<Manual::Entry> Manual::terms()
{
    return entriesOf(QStringLiteral("terms.html"));
}
