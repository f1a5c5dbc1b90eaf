#pragma once

#include <QString>
#include <QStringList>

// The statements of the query windows. Their conditions are composed from
// dictionary rows and typed values (see strtjset), so these join texts.
namespace QueryStatements {
// The condition fields of a source: its print-side dictionary rows, by xh
// or, for the airline statistics, as stored.
QString conditionFieldsSql(const QString &source, bool asStored = false);
// Member itinerary: ticket rows that meet the condition.
QString memberItinerarySql(const QString &condition);
// A card-number term widened to the customers bearing any of the names (those
// the typed text finds by pinyin), asked of the archive in the same statement.
QString cardTermOrNamed(const QString &term, const QStringList &names);
// Customer points: the listed columns of every customer's totals.
QString customerPointsSql(const QString &columns, const QString &condition);
// A catalogue report's statement with the conditions appended.
QString catalogueReportSql(const QString &reportSql, const QString &condition);
}
