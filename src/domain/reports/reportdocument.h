#pragma once

#include "domain/reports/reportchart.h"
#include "domain/reports/reporttemplate.h"

#include "store/rowstore.h"

#include <QDate>
#include <QHash>
#include <QString>
#include <QVector>
#include <functional>
#include <memory>

class Recordset;


// A laid-out report with its data read: the visible controls of each section,
// the text of every detail cell, and the totals. What the renderer draws.
class ReportDocument
{
public:
    static std::shared_ptr<ReportDocument> build(const ReportTemplate &layout, const Recordset &data,
                                                 const QDate &runDate = QDate::currentDate());
    // The same, taking the recordset's rows over instead of copying them.
    static std::shared_ptr<ReportDocument> buildTaking(const ReportTemplate &layout, Recordset &data);
    // Over rows made in memory, whose columns are `fields`.
    static std::shared_ptr<ReportDocument> buildFromRows(const ReportTemplate &layout, const QStringList &fields,
                                                         RowStore rows);
    // Over a recordset that is still reading its rows (opened with setFirstRows):
    // the first page can be shown at once, the document grows as the rows come,
    // and its totals and chart (made by `chartOf`) are there once the last has.
    static std::shared_ptr<ReportDocument> buildGrowing(const ReportTemplate &layout, std::unique_ptr<Recordset> data,
                                                        std::function<ReportChart(const Recordset &)> chartOf);

    const QVector<ReportControl> &section(int section) const { return m_sections[section]; }
    double sectionHeight(int section) const { return m_heights[section]; }
    // Every row: waits for the rows still to be read.
    int rowCount() const;
    // The rows read so far, and whether that is all of them (totals and chart made).
    int rowsRead() const;
    bool isComplete() const;
    // Reads the rows still to come now (before printing or exporting); throws
    // DbException when they could not all be read, now or while the preview was up.
    void completeRows() const;
    // Why the rows stopped short of the last (empty when all were read).
    QString readError() const;
    // Announces rowsFetched while the document grows; nullptr once it has every row.
    const Recordset *growingRows() const { return isComplete() ? nullptr : m_growing.get(); }
    // Text of detail text box `box` (its index among the detail section's text boxes) in `row`.
    QString cell(int row, int box) const;
    // The stored value behind that cell, unformatted (what a spreadsheet gets).
    QVariant value(int row, int box) const;
    int boxCount() const { return m_boxCount; }
    QString sumText(const QString &functionName) const;
    QString captionOf(const ReportControl &c) const;
    QString title() const;
    // Right edge of the widest visible control, in twips.
    double contentWidth() const { return m_width; }

    // The picture drawn on a page after the table, if the report has one.
    const ReportChart *chart() const;
    // Whether the report has a chart page, or will once its rows are read.
    bool chartExpected() const { return m_chartOf || !m_chart.isEmpty(); }
    void setChart(ReportChart chart) { m_chart = std::move(chart); }

    // Plain-text dump of the laid-out bands with their values and totals.
    QString dump() const;

private:
    static std::shared_ptr<ReportDocument> build(const ReportTemplate &layout,
                                                 const std::function<int(const QString &)> &fieldIndex,
                                                 std::shared_ptr<const RowStore> rows, const QDate &runDate);
    QVector<ReportControl> m_sections[6];
    double m_heights[6] = {};
    // The bound rows, copied, and where each detail box reads its value: the
    // texts are made only for the pages drawn.
    std::shared_ptr<const RowStore> m_data;
    QVector<int> m_boxFields;
    QVector<QString> m_boxFormats;
    int m_rows = 0;
    int m_boxCount = 0;
    QVariant stored(int row, int field) const;
    void readAll() const;
    void finishRows();
    void computeSums();
    QHash<QString, QString> m_sums;
    QHash<QString, int> m_sumFields;
    QHash<QString, QString> m_sumFormats;
    // The rows of a growing document stay in their recordset.
    std::shared_ptr<Recordset> m_growing;
    std::function<ReportChart(const Recordset &)> m_chartOf;
    bool m_complete = false;
    QString m_runDate;
    double m_width = 0;
    ReportChart m_chart;
};

// A report as built, shared by its preview, its printing and its exports.
using Report = std::shared_ptr<const ReportDocument>;

// A value as a report cell shows it: formatted when the box has a format.
QString reportCellText(const QVariant &value, const QString &format);
