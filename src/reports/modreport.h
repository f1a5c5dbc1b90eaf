#pragma once

#include "domain/reports/periodtotals.h"
#include "store/dberror.h"
#include "store/fielddictionary.h"

#include <functional>

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>
#include <stdexcept>

class Connection;
class QWidget;
class Recordset;
class ReportDocument;
class ReportTemplate;

// A built report: the laid-out template with its rows, ready for the preview,
// the printer or a file. Null when there was nothing to report.
using Report = std::shared_ptr<const ReportDocument>;

// A report that cannot be laid out because its print dictionary says nothing
// to print (as opposed to a database error, which is a DbException).
class ReportProblem : public std::runtime_error
{
public:
    explicit ReportProblem(const QString &text) : std::runtime_error(text.toStdString()) {}
};

// How one family member of the report builders lays out its columns. All of
// them fill the same template slots the same way; they differ only here.
struct ReportStyle
{
    bool widthsFromDictionary = true; // colm_cd x 180 twips; otherwise 1060 each
    bool alignByDictionary = true;    // C / L / R from the dictionary; otherwise centred
    bool formatsByType = true;        // INT, MON, BFL number formats
    enum class Totals { BySumTag, FixedCodes, None };
    Totals totals = Totals::BySumTag;
    QStringList fixedSums;            // with FixedCodes: these codes get function1, 2, 3
    QString titleSuffix;              // appended to the title ("报告 ")
    QString subtitle;                 // shown in labname under the title when not empty
};

namespace ModReport {
constexpr double kTwipsPerCharacter = 180;
constexpr double kFixedColumnWidth = 1060;

// The styles of the builders.
ReportStyle genericStyle(const QString &subtitle = QString());
ReportStyle statisticsStyle();
ReportStyle archiveStyle(const QString &nameLine);
ReportStyle codeListStyle();

// Lays the template out for the columns (at most 30), after putting every
// control back to its design values. Returns the number of slots laid out.
int layout(ReportTemplate &report, const QVector<PrintColumn> &columns, const ReportStyle &style);

// Before the caller reads the rows of a report over `tableCode`: the source's
// print rows travel with that read (on a server, in its round trip).
void readPrintRowsAhead(Connection &connection, const QString &tableCode);

// The generic generator: the source's print rows laid out over the caller's
// rows. Null when the caller has no rows; ReportProblem when the source has
// no print rows; DbException on a database error.
Report build(Connection &connection, const QString &tableCode, Recordset &data, const QString &subtitle = QString());
// The same, then previewed ("V", any case) or printed (anything else); every
// failure is shown to the operator. False when nothing was produced.
bool generate(Connection &connection, const QString &tableCode, Recordset &data, const QString &mode,
              QWidget *parent = nullptr, const QString &subtitle = QString());
// The same over a statement of its own, whose first page is shown while the
// rest is read.
bool generateFrom(Connection &connection, const QString &tableCode, const QString &sql, const QString &mode,
                  QWidget *parent = nullptr, const QString &subtitle = QString());

// The builders that open their own data ("select * from <table_code> WHERE <condition>"):
// statistics (one row per day, per month or for the whole period) and member itinerary,
// with what they cover (conditions, period) under the title;
Report statisticsFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                         PeriodTotals::Period period = PeriodTotals::Period::Day, const QString &subtitle = QString());
// the customer window's customer list or one customer's itinerary ("姓名： " + name for hyxc);
Report archiveFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                      const QString &customerName);
// the code dictionary editor's value list, every column 1060 twips.
Report codeListFindSet(Connection &connection, const QString &table);

// Runs a builder for a window and previews or prints what it built; a
// database error or a report problem is shown. False when nothing came out.
bool output(const std::function<Report()> &build, bool preview, QWidget *parent);
}
