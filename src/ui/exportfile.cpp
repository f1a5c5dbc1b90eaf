#include "ui/exportfile.h"

#include "domain/reports/csvexport.h"
#include "domain/reports/xlsxexport.h"
#include "store/sqlitelocks.h"
#include "ui/busycursor.h"
#include "ui/dialogs.h"
#include "ui/messagebox.h"

#include <QProgressDialog>
#include <QRegularExpression>

namespace {
QString caption(ExportFile::Kind kind)
{
    return kind == ExportFile::Kind::Excel ? QStringLiteral("导出Excel") : QStringLiteral("导出CSV");
}
} // namespace

ExportResult ExportFile::write(const ExportTable &table, Kind kind, const QString &path, QWidget *parent)
{
    QProgressDialog progress(QStringLiteral("正在导出 %1 行…").arg(table.rowCount), QStringLiteral("取消"), 0,
                             std::max(1, table.rowCount), parent);
    progress.setObjectName(QStringLiteral("exportProgress"));
    progress.setWindowTitle(caption(kind));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const ExportProgress tell = [&progress, rows = table.rowCount](int done, int total) {
        // The total may count more than the rows: an Excel file is packed after them.
        if (progress.maximum() != total)
            progress.setMaximum(total);
        if (done > rows)
            progress.setLabelText(QStringLiteral("正在压缩 Excel 文件…"));
        progress.setValue(done); // a modal bar lets the cancel button be pressed here
        return !progress.wasCanceled();
    };
    if (const QString refusal = SqliteLocks::refusalToWrite(path); !refusal.isEmpty())
        return ExportResult{false, false, refusal};
    BusyCursor busy;
    return kind == Kind::Excel ? XlsxExport::write(table, path, tell) : CsvExport::write(table, path, tell);
}

bool ExportFile::save(const ExportTable &table, Kind kind, QWidget *parent)
{
    const bool excel = kind == Kind::Excel;
    const QString suffix = excel ? QStringLiteral(".xlsx") : QStringLiteral(".csv");
    // The title names the file offered, without what a file name cannot hold.
    QString name = table.title.simplified();
    name.replace(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>| ]+")), QStringLiteral("_"));
    QString path = Dialogs::current().saveFileNameAs(
        parent, caption(kind), excel ? QStringLiteral("Excel 文件 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)"),
        name.isEmpty() ? QString() : name + suffix);
    if (path.isEmpty())
        return false;
    if (!path.endsWith(suffix, Qt::CaseInsensitive))
        path += suffix;
    const ExportResult result = write(table, kind, path, parent);
    if (!result.ok && !result.cancelled)
        Msg::stop(caption(kind) + QStringLiteral("失败: ") + result.error);
    return result.ok;
}
