#pragma once

#include "queries/querywindow.h"

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
        QString dictionarySql;
    };
    StatisticsFind(AppState &state, const Source &source, QWidget *parent = nullptr);

    // The report is rebuilt after each accepted row; true when the last build has rows.
    bool strtjset();
    void cmdyes_Click();   // preview
    void Command1_Click(); // print

private:
    Source m_source;
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
