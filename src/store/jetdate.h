#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// A date (and maybe a time) as people type it here and as the program writes
// it between '#' marks: 2003-5-1, 2003/05/01 10:20, 5/1/03, 5/1/2003 10:20:30 PM,
// 2003年5月1日. Impossible dates (month 13, 31 April, 29 February of a common
// year) are refused.
struct JetDate
{
    QDate date;
    QTime time;
    bool hasTime = false;

    // ISO text as the database stores it: yyyy-MM-dd, or yyyy-MM-dd HH:mm:ss with a time.
    QString toIso() const;
    QDateTime toDateTime() const { return QDateTime(date, hasTime ? time : QTime(0, 0)); }
};

std::optional<JetDate> parseJetDate(const QString &text);

// Two-digit years read as the old engine read them: 00-29 are 20xx, 30-99 are 19xx.
int expandTwoDigitYear(int year);
