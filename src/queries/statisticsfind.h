#pragma once

#include "queries/querywindow.h"
#include "reports/modreport.h"

// A ticket statistics window: conditions over one statistics source, previewed
// or printed as a report whose layout follows the source's print rows.
class StatisticsFind : public QueryWindow
{
    Q_OBJECT
public:
    struct Source
    {
        QString typeName;
        QString title;
        QString tableCode;
        bool fieldsAsStored = false; // condition fields as stored rather than by xh
    };
    StatisticsFind(AppState &state, const Source &source, QWidget *parent = nullptr);

    bool load() override;
    // The report is rebuilt after each accepted row; the last build, or null.
    Report strtjset();
    void cmdyes_Click();   // preview
    void Command1_Click(); // print

    // One row per day (as kept), per month, or for the whole filtered period.
    PeriodTotals::Period period() const;

private:
    void showStatistics(bool preview);
    Source m_source;
    class QComboBox *m_period;
};

class frmhangkongFind : public StatisticsFind
{
    Q_OBJECT
public:
    explicit frmhangkongFind(AppState &state, QWidget *parent = nullptr);
};

class frmgerenFind : public StatisticsFind
{
    Q_OBJECT
public:
    explicit frmgerenFind(AppState &state, QWidget *parent = nullptr);
};

class frmdaodaFind : public StatisticsFind
{
    Q_OBJECT
public:
    explicit frmdaodaFind(AppState &state, QWidget *parent = nullptr);
};
