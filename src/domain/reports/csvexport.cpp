#include "domain/reports/csvexport.h"

#include <QDate>
#include <QDateTime>
#include <QSaveFile>

namespace {
constexpr int kProgressStep = 2000;
}

QByteArray CsvExport::field(const QVariant &value)
{
    if (value.isNull())
        return {};
    const QVariant typed = ExportValue::typed(value);
    if (ExportValue::isNumber(typed))
        return ExportValue::text(typed).toUtf8();
    if (typed.typeId() == QMetaType::QDate)
        return typed.toDate().toString(Qt::ISODate).toUtf8();
    if (typed.typeId() == QMetaType::QDateTime)
        return typed.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
    QByteArray text = typed.toString().toUtf8();
    // A text a spreadsheet would run as a formula is kept as text.
    if (!text.isEmpty() && QByteArrayView("=+-@").contains(text.at(0)))
        text.prepend('\'');
    if (text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r')) {
        text.replace("\"", "\"\"");
        text = '"' + text + '"';
    }
    return text;
}

ExportResult CsvExport::write(const ExportTable &table, const QString &path, const ExportProgress &progress)
{
    ExportResult result;
    // QSaveFile writes beside the target and renames only on commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    QByteArray line("\xEF\xBB\xBF");
    for (int c = 0; c < table.columns.size(); ++c) {
        if (c > 0)
            line += ',';
        line += field(table.columns.at(c).caption);
    }
    line += "\r\n";
    file.write(line);
    for (int r = 0; r < table.rowCount; ++r) {
        line.clear();
        for (int c = 0; c < table.columns.size(); ++c) {
            if (c > 0)
                line += ',';
            line += field(table.cell(r, c));
        }
        line += "\r\n";
        file.write(line);
        if (progress && (r + 1) % kProgressStep == 0 && !progress(r + 1, table.rowCount)) {
            file.cancelWriting();
            file.commit();
            result.cancelled = true;
            return result;
        }
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.ok = true;
    return result;
}
