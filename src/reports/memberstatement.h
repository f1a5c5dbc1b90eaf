#pragma once

#include "reports/modreport.h"

#include <QDate>
#include <QString>
#include <QVector>

class Connection;

// A member's points statement for a period: the balance at its start, every
// ticket with the points it earned, every clearing, every transfer in and
// out, refunds and voids, and the balance at its end. The balance today is
// the remaining points of the member's tickets; earlier balances are worked
// back from it through the dated movements, so the statement always closes
// on what the tickets hold.
struct StatementLine
{
    QString date; // "yyyy-MM-dd" or "yyyy-MM-dd HH:mm:ss"; empty when the ticket has none
    QString kind; // "购票", "退票", "作废", "转入", "转出", "积分清除"
    QString route;
    QString airline;
    QString ticket;
    double in = 0;
    double out = 0;
    double balance = 0;
    QString note;
};

struct MemberStatement
{
    QString kh;
    QString name;
    QDate from;
    QDate to;
    double opening = 0;
    double closing = 0;
    QVector<StatementLine> lines; // the period's movements, oldest first
};

namespace MemberStatements {
// The print dictionary rows that lay the statement out.
inline const QString kTableCode = QStringLiteral("HYJFDZD");

MemberStatement build(Connection &connection, const QString &kh, const QDate &from, const QDate &to);
// The statement as a report: opening row, movements, closing row, totals of points in and out.
Report report(Connection &connection, const MemberStatement &statement);
}
