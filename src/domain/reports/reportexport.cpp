#include "domain/reports/reportexport.h"

#include "domain/reports/reportdocument.h"

namespace {
const ReportControl *named(const QVector<ReportControl> &section, const QString &name)
{
    for (const ReportControl &c : section)
        if (c.name.compare(name, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}
} // namespace

ExportTable ReportExport::table(const ReportDocument &document)
{
    ExportTable table;
    table.title = document.title();
    if (const ReportControl *subtitle = named(document.section(2), QStringLiteral("labname")))
        table.subtitle = subtitle->caption;
    for (const ReportControl &box : document.section(3)) {
        if (box.kind != ReportControl::Kind::TextBox)
            continue;
        ExportColumn column;
        // The caption of a slot stands over its box: label N over text N.
        const QString slot = box.name.mid(4);
        const ReportControl *caption = named(document.section(2), QStringLiteral("label") + slot);
        column.caption = caption ? caption->caption : box.dataField;
        column.numberFormat = box.format;
        // Footer sums are matched by the column they add up, not by slot number.
        for (const ReportControl &sum : document.section(5))
            if (sum.kind == ReportControl::Kind::Function && !sum.dataField.isEmpty()
                && sum.dataField.compare(box.dataField, Qt::CaseInsensitive) == 0)
                column.total = true;
        table.columns.append(column);
    }
    document.completeRows();
    table.rowCount = document.rowCount();
    table.cell = [&document](int row, int column) { return document.value(row, column); };
    return table;
}
