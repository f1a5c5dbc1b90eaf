#pragma once

#include "store/dberror.h"
#include "store/fielddictionary.h"

#include <QString>
#include <QStringList>
#include <QVector>

class Connection;
class QWidget;
class Recordset;
class ReportTemplate;

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
    bool useSubtitle = false;         // the program-wide subtitle under the title
    QString nameLine;                 // shown in labname when not empty
};

namespace ModReport {
constexpr double kTwipsPerCharacter = 180;
constexpr double kFixedColumnWidth = 1060;

// The styles of the builders.
ReportStyle genericStyle();
ReportStyle statisticsStyle();
ReportStyle archiveStyle(const QString &nameLine);
ReportStyle codeListStyle();

// Lays the template out for the columns (at most 30), after putting every
// control back to its design values. Returns the number of slots laid out.
int layout(ReportTemplate &report, const QVector<PrintColumn> &columns, const ReportStyle &style);

// The generic generator: lays out the source's print rows over the caller's
// rows and previews ("V", any case) or prints (anything else). False when
// nothing was produced (no print rows, no data, or an error).
bool generate(Connection &connection, const QString &tableCode, Recordset &data, const QString &mode,
              QWidget *parent = nullptr);

// The builders that open their own data and only bind; the window previews or prints.
// Statistics and member itinerary: "select * from <table_code> WHERE <condition>".
// A database error is reported through `error` (when given) and gives false.
bool statisticsFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                       DbError *error = nullptr);
// Customer window: customer list or one customer's itinerary ("姓名： " + name for hyxc).
bool archiveFindSet(Connection &connection, const QString &tableCode, const QString &condition,
                    const QString &customerName);
// Code dictionary editor: the value list, every column 1060 twips.
bool codeListFindSet(Connection &connection, const QString &table);
}
