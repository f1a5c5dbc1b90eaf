#pragma once

#include "reports/reportpreview.h"

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
