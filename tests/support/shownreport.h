#pragma once

#include "reports/reportpreview.h"
#include "support/testdatabase.h"

#include <QApplication>

// The report of the preview window a command opened last (the newest one
// still open), or null when none is open.
inline std::shared_ptr<const ReportDocument> shownReport()
{
    std::shared_ptr<const ReportDocument> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *preview = qobject_cast<ReportPreview *>(w); preview && preview->isVisible())
            found = preview->document();
    return found;
}

// Closes every preview window, so the next command's report is the one shown.
inline void closeShownReports()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *preview = qobject_cast<ReportPreview *>(w))
            preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The preview windows on screen.
inline QList<ReportPreview *> openPreviews()
{
    QList<ReportPreview *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *preview = qobject_cast<ReportPreview *>(w); preview && preview->isVisible())
            found << preview;
    return found;
}

// The footer total of `column` over "from ... where ...", as a column without
// a number format prints it: whole when every value is whole, otherwise with
// two decimals.
inline QString expectedTotal(TestDatabase &db, const QString &column, const QString &fromWhere)
{
    const QString where = fromWhere.contains(QLatin1String(" where "), Qt::CaseInsensitive) ? QStringLiteral(" and ")
                                                                                           : QStringLiteral(" where ");
    const double sum = db.scalar(QStringLiteral("select total(%1) from %2").arg(column, fromWhere)).toDouble();
    const bool whole =
        db.scalar(QStringLiteral("select count(*) from %2%3%1 <> round(%1)").arg(column, fromWhere, where)).toInt() == 0;
    return whole ? QString::number(static_cast<qint64>(sum)) : QString::number(sum, 'f', 2);
}
