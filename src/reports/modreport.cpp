#include "reports/modreport.h"

#include "domain/reports/reportchart.h"
#include "reports/reportoutput.h"
#include "domain/reports/reporttemplate.h"
#include "domain/reports/reportdocument.h"
#include "store/connection.h"
#include "store/fielddictionary.h"
#include "store/reportorder.h"
#include "store/recordset.h"
#include "ui/busycursor.h"
#include "ui/errorboundary.h"

#include <QHash>
#include <exception>

namespace {

const QString kTitleSuffix = QStringLiteral("报告 ");

// Type words are compared without regard to case, as the dictionary holds them.
QString numberFormat(const QString &typeWord)
{
    const QString type = typeWord.toUpper();
    if (type == QLatin1String("INT") || type == QLatin1String("MON"))
        return QStringLiteral("#####0.00");
    if (type == QLatin1String("BFL"))
        return QStringLiteral("#####0.00%");
    return {};
}

QVector<PrintColumn> requirePrintColumns(Connection &connection, const QString &tableCode)
{
    const QVector<PrintColumn> columns = FieldDictionary::printColumns(connection, tableCode);
    if (columns.isEmpty())
        throw ReportProblem(QStringLiteral("报表“%1”没有可打印的字段，请在“报表设计”中设置。").arg(tableCode));
    return columns;
}

// The chart of a statistics or period income source, over the rows as read.
ReportChart chartOf(const QString &tableCode, const Recordset &data)
{
    const std::optional<ReportCharts::Plan> plan = ReportCharts::planFor(tableCode);
    if (!plan)
        return {};
    // A field is looked up once, not once a row.
    QHash<QString, int> columns;
    return ReportCharts::compute(*plan, data.recordCount(), [&data, &columns](int row, const QString &field) {
        auto it = columns.constFind(field);
        if (it == columns.cend())
            it = columns.insert(field, data.fieldIndex(field));
        return *it < 0 ? QVariant() : data.valueAt(row, *it);
    });
}

// Rows read before a report is shown: its first pages. The rest come while
// the preview is up (or at once for printing and exporting).
constexpr int kFirstRows = 500;

std::unique_ptr<Recordset> openData(Connection &connection, const QString &sql)
{
    auto data = std::make_unique<Recordset>();
    data->setFirstRows(kFirstRows);
    data->open(sql, &connection);
    return data;
}

// A report's print rows and its data, asked for together: on a server the
// print rows travel with the data's first page, one round trip. A source
// without printable fields says so before what the data's read failed with.
struct SourceRead
{
    QVector<PrintColumn> columns;
    std::unique_ptr<Recordset> data;
};
SourceRead readSource(Connection &connection, const QString &tableCode, const QString &sql)
{
    ModReport::readPrintRowsAhead(connection, tableCode);
    SourceRead read;
    std::exception_ptr failed;
    try {
        read.data = openData(connection, sql);
    } catch (...) {
        failed = std::current_exception();
    }
    read.columns = requirePrintColumns(connection, tableCode);
    if (failed)
        std::rethrow_exception(failed);
    return read;
}

// Lays the report out over its data; the rows move into the report,
// totalled by month or over the whole period when asked.
Report layoutOver(const QVector<PrintColumn> &columns, const ReportStyle &style, std::unique_ptr<Recordset> data,
                  const QString &chartSource = QString(), PeriodTotals::Period period = PeriodTotals::Period::Day)
{
    if (!data->hasRow(0))
        return nullptr;
    ReportTemplate report;
    ModReport::layout(report, columns, style);
    if (period == PeriodTotals::Period::Day) {
        std::function<ReportChart(const Recordset &)> charted;
        if (ReportCharts::planFor(chartSource))
            charted = [chartSource](const Recordset &rows) { return chartOf(chartSource, rows); };
        return ReportDocument::buildGrowing(report, std::move(data), charted);
    }
    PeriodTotals::Rows grouped = PeriodTotals::group(*data, period);
    auto doc = ReportDocument::buildFromRows(report, grouped.fields, std::move(grouped.rows));
    doc->setChart(chartOf(chartSource, *data));
    return doc;
}

// "select * from <table_code> [WHERE <condition>]" of the source's first print row.
Report buildFromSource(Connection &connection, const QString &tableCode, const QString &condition,
                       const ReportStyle &style, bool charted = false,
                       PeriodTotals::Period period = PeriodTotals::Period::Day)
{
    const auto sqlOver = [&condition](const QString &table) {
        QString sql = QStringLiteral("select * from ") + table;
        if (!condition.isEmpty())
            sql += QStringLiteral(" WHERE ") + condition;
        return ReportOrder::ordered(sql);
    };
    // The print rows are those whose table is the source, so the data can be
    // asked for with them: the first row names the source (in its own spelling).
    SourceRead read = readSource(connection, tableCode, sqlOver(tableCode));
    const QString table = read.columns.first().tableCode;
    return layoutOver(read.columns, style, std::move(read.data), charted ? table : QString(), period);
}

} // namespace

ReportStyle ModReport::genericStyle(const QString &subtitle)
{
    ReportStyle s;
    s.subtitle = subtitle;
    return s;
}

ReportStyle ModReport::statisticsStyle()
{
    ReportStyle s;
    s.alignByDictionary = false;
    s.formatsByType = false;
    s.totals = ReportStyle::Totals::FixedCodes;
    s.fixedSums = {QStringLiteral("AMOUNT1OFSUM"), QStringLiteral("AMOUNT2OFSUM"), QStringLiteral("AMOUNT3OFSUM")};
    s.titleSuffix = kTitleSuffix;
    return s;
}

ReportStyle ModReport::archiveStyle(const QString &nameLine)
{
    ReportStyle s = statisticsStyle();
    s.fixedSums = {QStringLiteral("JIFEN"), QStringLiteral("JIFENYUE"), QStringLiteral("AMOUNT3OFSUM")};
    s.subtitle = nameLine;
    return s;
}

ReportStyle ModReport::codeListStyle()
{
    ReportStyle s = statisticsStyle();
    s.widthsFromDictionary = false;
    s.totals = ReportStyle::Totals::None;
    s.fixedSums.clear();
    return s;
}

int ModReport::layout(ReportTemplate &report, const QVector<PrintColumn> &columns, const ReportStyle &style)
{
    report.resetToDesign();
    const int n = std::min<int>(static_cast<int>(columns.size()), ReportTemplate::kSlots);
    if (n == 0)
        return 0;
    auto at = [&report](const QString &name) { return report.control(name); };

    at(QStringLiteral("labbt"))->caption = columns.first().tableName + style.titleSuffix;
    if (!style.subtitle.isEmpty()) {
        ReportControl *subtitle = at(QStringLiteral("labname"));
        subtitle->caption = style.subtitle;
        subtitle->visible = true;
    }

    double left = 0;
    double width = 0;
    const double headerRuleTop = at(QStringLiteral("line1"))->top;
    for (int j = 1; j <= n; ++j) {
        const PrintColumn &column = columns.at(j - 1);
        left += width;
        width = style.widthsFromDictionary ? column.width * kTwipsPerCharacter : kFixedColumnWidth;
        const double right = left + width;

        for (const char *rule : {"line1", "line2", "line3", "line66"})
            at(QLatin1String(rule))->width = right;
        at(QStringLiteral("line66"))->visible = true;

        ReportControl *caption = at(QStringLiteral("label%1").arg(j));
        caption->caption = column.caption;
        caption->left = left;
        caption->width = width;
        caption->visible = true;
        caption->alignment = ReportControl::AlignCenter;
        at(QStringLiteral("label200"))->left = left;

        ReportControl *headerRule = at(QStringLiteral("line%1").arg(j + 35));
        headerRule->left = right;
        headerRule->visible = true;
        headerRule->top = headerRuleTop;
        headerRule->height = 440;

        ReportControl *box = at(QStringLiteral("text%1").arg(j));
        box->dataField = column.code;
        box->left = left;
        box->format = style.formatsByType ? numberFormat(column.type) : QString();
        box->width = width;
        box->visible = true;
        box->alignment = ReportControl::AlignCenter;
        if (style.alignByDictionary) {
            if (column.align == QLatin1String("L")) {
                box->alignment = ReportControl::AlignLeft;
                box->left = left + 50;
                box->width = width - 50;
            } else if (column.align == QLatin1String("R")) {
                box->alignment = ReportControl::AlignRight;
                box->left = left - 50;
                box->width = width - 50;
            }
        }

        ReportControl *detailRule = at(QStringLiteral("line%1").arg(j + 4));
        detailRule->left = right;
        detailRule->visible = true;
        ReportControl *footerRule = at(QStringLiteral("line%1").arg(j + 67));
        footerRule->left = right;
        footerRule->visible = true;

        ReportControl *sum = nullptr;
        if (style.totals == ReportStyle::Totals::BySumTag) {
            if (column.sumTag == QLatin1String("1"))
                sum = at(QStringLiteral("function%1").arg(j));
        } else if (style.totals == ReportStyle::Totals::FixedCodes) {
            for (int k = 0; k < style.fixedSums.size() && !sum; ++k)
                if (column.code.compare(style.fixedSums.at(k), Qt::CaseInsensitive) == 0)
                    sum = at(QStringLiteral("function%1").arg(k + 1));
        }
        if (sum) {
            sum->visible = true;
            sum->left = left;
            sum->width = width;
            sum->dataField = column.code;
        }
    }

    // A long subtitle (the conditions of a wide report) may use the report's whole width.
    ReportControl *subtitle = at(QStringLiteral("labname"));
    subtitle->width = std::max(subtitle->width, left + width - subtitle->left);

    // The slot counter stands one past the last column when the loop ends.
    const double span = (n + 1) * kFixedColumnWidth;
    ReportControl *title = at(QStringLiteral("labbt"));
    if (span >= title->width)
        title->left = (span - title->width) / 2;
    return n;
}

void ModReport::readPrintRowsAhead(Connection &connection, const QString &tableCode)
{
    connection.readAhead(FieldDictionary::printSql(tableCode));
}

Report ModReport::build(Connection &connection, const QString &tableCode, Recordset &data, const QString &subtitle)
{
    const QVector<PrintColumn> columns = requirePrintColumns(connection, tableCode);
    if (data.recordCount() == 0)
        return nullptr;
    ReportTemplate report;
    layout(report, columns, genericStyle(subtitle));
    auto doc = ReportDocument::build(report, data);
    doc->setChart(chartOf(tableCode, data));
    return doc;
}

bool ModReport::generate(Connection &connection, const QString &tableCode, Recordset &data, const QString &mode,
                         QWidget *parent, const QString &subtitle)
{
    return output([&] { return build(connection, tableCode, data, subtitle); },
                  mode.toUpper() == QLatin1String("V"), parent);
}

bool ModReport::generateFrom(Connection &connection, const QString &tableCode, const QString &sql, const QString &mode,
                             QWidget *parent, const QString &subtitle)
{
    return output(
        [&]() -> Report {
            SourceRead read = readSource(connection, tableCode, sql);
            return layoutOver(read.columns, genericStyle(subtitle), std::move(read.data), tableCode);
        },
        mode.toUpper() == QLatin1String("V"), parent);
}

Report ModReport::statisticsFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                                   PeriodTotals::Period period, const QString &subtitle)
{
    ReportStyle style = statisticsStyle();
    style.subtitle = subtitle;
    // The member itinerary shares this builder; only the kept statistics get a chart.
    return buildFromSource(connection, tableCode, condition, style, true, period);
}

Report ModReport::archiveFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                                 const QString &customerName)
{
    const bool itinerary = tableCode.compare(QLatin1String("HYXC"), Qt::CaseInsensitive) == 0;
    return buildFromSource(connection, tableCode, condition,
                           archiveStyle(itinerary ? QStringLiteral("姓名： ") + customerName : QString()));
}

Report ModReport::codeListFindSet(Connection &connection, const QString &table)
{
    QVector<PrintColumn> columns;
    Recordset rows;
    rows.open(FieldDictionary::entrySql(table, true), &connection);
    for (int i = 0; i < rows.recordCount() && columns.size() < ReportTemplate::kSlots; ++i) {
        rows.moveTo(i);
        PrintColumn c;
        c.tableCode = table;
        c.tableName = rows.text(QStringLiteral("table_name"));
        c.code = rows.text(QStringLiteral("colm_code"));
        c.caption = rows.text(QStringLiteral("colm_name"));
        columns.append(c);
    }
    if (columns.isEmpty())
        throw ReportProblem(QStringLiteral("表“%1”没有可打印的字段。").arg(table));
    return layoutOver(columns, codeListStyle(),
                      openData(connection, QStringLiteral("select * from ") + table + QStringLiteral(" order by class")));
}

bool ModReport::output(const std::function<Report()> &build, bool preview, QWidget *parent)
{
    Report report;
    {
        BusyCursor busy;
        if (!ErrorBoundary::run([&] { report = build(); }))
            return false;
    }
    if (!report)
        return false;
    if (preview)
        return ReportOutput::preview(report, parent) != nullptr;
    return ReportOutput::print(*report, parent, ReportOutput::chartWanted(*report));
}
