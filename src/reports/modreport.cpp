#include "reports/modreport.h"

#include "reports/reportoutput.h"
#include "reports/reporttemplate.h"
#include "store/recordset.h"

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

// Opens data, lays out and binds; the template is left usable whatever happens.
bool layoutAndBind(ReportTemplate &report, const QVector<PrintColumn> &columns, const ReportStyle &style,
                   Connection &connection, const QString &sql, DbError *error = nullptr)
{
    try {
        if (columns.isEmpty())
            return false;
        Recordset data;
        data.open(sql, &connection, LockType::ReadOnly);
        if (data.recordCount() == 0)
            return false;
        ModReport::layout(report, columns, style);
        report.bindTaking(data);
        return true;
    } catch (const DbException &e) {
        report.resetToDesign();
        report.unbind();
        if (error)
            *error = e.error();
        return false;
    }
}

} // namespace

ReportStyle ModReport::genericStyle()
{
    ReportStyle s;
    s.useSubtitle = true;
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
    s.nameLine = nameLine;
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
    ReportControl *subtitle = at(QStringLiteral("labname"));
    const QString subtitleText = style.useSubtitle ? report.subtitle : style.nameLine;
    if (!subtitleText.isEmpty()) {
        subtitle->caption = subtitleText;
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

    // The slot counter stands one past the last column when the loop ends.
    const double span = (n + 1) * kFixedColumnWidth;
    ReportControl *title = at(QStringLiteral("labbt"));
    if (span >= title->width)
        title->left = (span - title->width) / 2;
    return n;
}

bool ModReport::generate(Connection &connection, const QString &tableCode, Recordset &data, const QString &mode,
                         QWidget *parent)
{
    ReportTemplate &report = ReportMod();
    bool produced = false;
    try {
        const QVector<PrintColumn> columns = FieldDictionary::printColumns(connection, tableCode);
        if (!columns.isEmpty() && data.recordCount() > 0) {
            layout(report, columns, genericStyle());
            report.bind(data);
            if (mode.toUpper() == QLatin1String("V"))
                ReportOutput::previewBound(parent);
            else
                ReportOutput::printBound(parent);
            produced = true;
        }
    } catch (const DbException &) {
        report.resetToDesign();
        report.unbind();
        produced = false;
    }
    report.subtitle.clear();
    return produced;
}

namespace {

// The builders that open their own data: "select * from <table_code>" of the
// source's first print row, with " WHERE <condition>" when there is one.
bool buildFromSource(Connection &connection, const QString &tableCode, const QString &condition,
                     const ReportStyle &style, DbError *error)
{
    QVector<PrintColumn> columns;
    try {
        columns = FieldDictionary::printColumns(connection, tableCode);
    } catch (const DbException &e) {
        if (error)
            *error = e.error();
        return false;
    }
    if (columns.isEmpty())
        return false;
    QString sql = QStringLiteral("select * from ") + columns.first().tableCode;
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    return layoutAndBind(ReportMod(), columns, style, connection, sql, error);
}

} // namespace

bool ModReport::statisticsFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                                  DbError *error)
{
    return buildFromSource(connection, tableCode, condition, statisticsStyle(), error);
}

bool ModReport::archiveFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                               const QString &customerName)
{
    const bool itinerary = tableCode.compare(QLatin1String("HYXC"), Qt::CaseInsensitive) == 0;
    return buildFromSource(connection, tableCode, condition,
                           archiveStyle(itinerary ? QStringLiteral("姓名： ") + customerName : QString()), nullptr);
}

bool ModReport::codeListFindSet(Connection &connection, const QString &table)
{
    QVector<PrintColumn> columns;
    try {
        Recordset rows;
        rows.open(FieldDictionary::entrySql(table, true), &connection, LockType::ReadOnly);
        for (int i = 0; i < rows.recordCount() && columns.size() < ReportTemplate::kSlots; ++i) {
            rows.moveTo(i);
            PrintColumn c;
            c.tableCode = table;
            c.tableName = rows.text(QStringLiteral("table_name"));
            c.code = rows.text(QStringLiteral("colm_code"));
            c.caption = rows.text(QStringLiteral("colm_name"));
            columns.append(c);
        }
    } catch (const DbException &) {
        return false;
    }
    return layoutAndBind(ReportMod(), columns, codeListStyle(), connection,
                         QStringLiteral("select * from ") + table + QStringLiteral(" order by class"));
}
