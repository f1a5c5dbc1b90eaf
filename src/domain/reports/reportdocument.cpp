#include "domain/reports/reportdocument.h"

#include "store/recordset.h"
#include "store/sqlfunctions.h"


#include <cmath>

QString reportCellText(const QVariant &value, const QString &format)
{
    if (value.isNull())
        return {};
    if (!format.isEmpty())
        return jetFormat(value, format).toString();
    if (value.typeId() == QMetaType::Double) {
        const double d = value.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        // Two decimals at most, without trailing zeros or a lone point ("300.001" is "300").
        QString text = QString::number(d, 'f', 2);
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
        return text == QLatin1String("-0") ? QStringLiteral("0") : text;
    }
    return value.toString();
}

std::shared_ptr<ReportDocument> ReportDocument::build(const ReportTemplate &layout, const Recordset &data,
                                                      const QDate &runDate)
{
    return build(layout, [&data](const QString &name) { return data.fieldIndex(name); },
                 std::make_shared<const RowStore>(data.rowStore()), runDate);
}

std::shared_ptr<ReportDocument> ReportDocument::buildFromRows(const ReportTemplate &layout, const QStringList &fields,
                                                              RowStore rows)
{
    const auto index = [&fields](const QString &name) {
        for (int i = 0; i < fields.size(); ++i)
            if (fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
                return i;
        return -1;
    };
    return build(layout, index, std::make_shared<const RowStore>(std::move(rows)), QDate::currentDate());
}

std::shared_ptr<ReportDocument> ReportDocument::buildTaking(const ReportTemplate &layout, Recordset &data)
{
    // The field positions are read before the rows leave the recordset.
    auto rows = std::make_shared<RowStore>();
    const Recordset &names = data;
    auto doc = build(layout, [&names](const QString &name) { return names.fieldIndex(name); }, rows,
                     QDate::currentDate());
    *rows = data.takeRows();
    doc->m_rows = rows->rowCount();
    doc->computeSums();
    return doc;
}

std::shared_ptr<ReportDocument> ReportDocument::buildGrowing(const ReportTemplate &layout,
                                                             std::unique_ptr<Recordset> data,
                                                             std::function<ReportChart(const Recordset &)> chartOf)
{
    const Recordset &names = *data;
    auto doc = build(layout, [&names](const QString &name) { return names.fieldIndex(name); }, nullptr,
                     QDate::currentDate());
    doc->m_growing = std::move(data);
    doc->m_chartOf = std::move(chartOf);
    return doc;
}

void ReportDocument::finishRows()
{
    m_complete = true;
    m_rows = m_growing->loadedCount();
    computeSums();
    if (m_chartOf)
        m_chart = m_chartOf(*m_growing);
}

int ReportDocument::rowCount() const
{
    readAll();
    return m_rows;
}

bool ReportDocument::isComplete() const
{
    // The totals and the chart are made when the last row is first seen read.
    if (m_growing && !m_complete && m_growing->isComplete())
        const_cast<ReportDocument *>(this)->finishRows();
    return !m_growing || m_complete;
}

int ReportDocument::rowsRead() const
{
    return isComplete() ? m_rows : m_growing->loadedCount();
}

void ReportDocument::readAll() const
{
    if (isComplete())
        return;
    try {
        m_growing->recordCount();
    } catch (const DbException &) {
        // The recordset keeps what it read and why it stopped.
    }
    if (!m_complete)
        const_cast<ReportDocument *>(this)->finishRows();
}

QString ReportDocument::readError() const
{
    return m_growing ? m_growing->readError() : QString();
}

void ReportDocument::completeRows() const
{
    readAll();
    if (!readError().isEmpty())
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("报表数据没有读完: ") + readError());
}

QString ReportDocument::sumText(const QString &functionName) const
{
    readAll();
    return m_sums.value(functionName.toLower());
}

const ReportChart *ReportDocument::chart() const
{
    readAll();
    return m_chart.isEmpty() ? nullptr : &m_chart;
}

QVariant ReportDocument::stored(int row, int field) const
{
    if (m_growing)
        return m_growing->valueAt(row, field);
    return m_data ? m_data->value(row, field) : QVariant();
}

std::shared_ptr<ReportDocument> ReportDocument::build(const ReportTemplate &layout,
                                                      const std::function<int(const QString &)> &fieldIndex,
                                                      std::shared_ptr<const RowStore> rows, const QDate &runDate)
{
    auto doc = std::make_shared<ReportDocument>();
    doc->m_runDate = runDate.toString(QStringLiteral("yyyy-MM-dd"));
    for (const ReportControl &c : layout.controls()) {
        if (!c.visible || c.section < 1 || c.section > 5)
            continue;
        doc->m_sections[c.section].append(c);
        doc->m_width = std::max(doc->m_width, c.left + c.width);
    }
    for (int s = 1; s <= 5; ++s)
        doc->m_heights[s] = layout.sectionHeight(s);

    // Where each detail box and each total reads its value.
    for (const ReportControl &c : doc->m_sections[3]) {
        if (c.kind != ReportControl::Kind::TextBox)
            continue;
        doc->m_boxFields.append(fieldIndex(c.dataField));
        doc->m_boxFormats.append(c.format);
    }
    doc->m_boxCount = static_cast<int>(doc->m_boxFields.size());
    doc->m_data = std::move(rows);
    doc->m_rows = doc->m_data ? doc->m_data->rowCount() : 0;
    for (const ReportControl &c : doc->m_sections[5]) {
        if (c.kind != ReportControl::Kind::Function)
            continue;
        doc->m_sumFields.insert(c.name.toLower(), fieldIndex(c.dataField));
        // The total takes its column's format.
        const QString slot = c.name.mid(QStringLiteral("function").size());
        if (const ReportControl *box = layout.control(QStringLiteral("text") + slot); box && box->visible)
            doc->m_sumFormats.insert(c.name.toLower(), box->format);
    }
    doc->computeSums();
    return doc;
}

void ReportDocument::computeSums()
{
    m_sums.clear();
    for (const ReportControl &c : m_sections[5]) {
        if (c.kind != ReportControl::Kind::Function)
            continue;
        const int field = m_sumFields.value(c.name.toLower(), -1);
        double sum = 0;
        bool whole = true;
        for (int r = 0; r < m_rows && field >= 0; ++r) {
            const QVariant value = stored(r, field);
            bool ok = false;
            const double v = value.typeId() == QMetaType::QString ? value.toString().trimmed().toDouble(&ok)
                                                                  : value.toDouble(&ok);
            if (ok) {
                sum += v;
                whole = whole && v == std::floor(v);
            }
        }
        // Without a format of its column, whole numbers stay whole.
        QString format = m_sumFormats.value(c.name.toLower());
        if (format.isEmpty() && !whole)
            format = QStringLiteral("#####0.00");
        m_sums.insert(c.name.toLower(), reportCellText(sum, format));
    }
}

QString ReportDocument::cell(int row, int box) const
{
    const int field = m_boxFields.at(box);
    if (field < 0)
        return {};
    return reportCellText(stored(row, field), m_boxFormats.at(box));
}

QVariant ReportDocument::value(int row, int box) const
{
    const int field = m_boxFields.at(box);
    if (field < 0)
        return {};
    return stored(row, field);
}

QString ReportDocument::captionOf(const ReportControl &c) const
{
    if (c.caption == QLatin1String("%D"))
        return m_runDate;
    return c.caption;
}

QString ReportDocument::title() const
{
    for (const ReportControl &c : m_sections[2])
        if (c.name.compare(QLatin1String("labbt"), Qt::CaseInsensitive) == 0)
            return c.caption;
    return {};
}

QString ReportDocument::dump() const
{
    QString out;
    for (int s = 1; s <= 5; ++s) {
        for (const ReportControl &c : m_sections[s]) {
            if (c.kind == ReportControl::Kind::Line)
                continue;
            out += QStringLiteral("[%1] %2 left=%3 width=%4").arg(s).arg(c.name).arg(c.left).arg(c.width);
            if (c.kind == ReportControl::Kind::Label)
                out += QStringLiteral(" \"%1\"").arg(captionOf(c));
            else if (c.kind == ReportControl::Kind::Function)
                out += QStringLiteral(" sum=%1").arg(sumText(c.name));
            else
                out += QStringLiteral(" field=%1").arg(c.dataField);
            out += QLatin1Char('\n');
        }
    }
    const int rows = rowCount();
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int b = 0; b < m_boxCount; ++b)
            row << cell(r, b);
        out += row.join(QLatin1Char('|')) + QLatin1Char('\n');
    }
    return out;
}
