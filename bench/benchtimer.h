#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

struct sqlite3;

// Times operations and the same statements run straight on SQLite, and
// prints one table: operation, count, median, p95, ratio to raw SQLite, peak memory.
class BenchTable
{
public:
    struct Row
    {
        QString operation;
        int count = 0;
        double median = 0; // milliseconds
        double p95 = 0;
        double rawMedian = -1; // < 0: no SQL to compare with
        double readMedian = -1; // the same statements with every column of every row read
        double peakMb = 0;
        double trips = -1; // round trips to the server per run (median); < 0: not counted
        QString target;
    };

    // Where round trips are read before and after each timed run (none: not counted).
    static void countTripsWith(std::function<quint64()> counter);

    // Runs `operation` `count` times and returns the per-run milliseconds.
    static QVector<double> time(int count, const std::function<void(int)> &operation);
    // Prepares, steps every row and finalizes each statement, `count` times (nothing without a database).
    static QVector<double> timeRaw(sqlite3 *db, int count, const std::function<QStringList(int)> &statements,
                                   bool readColumns = false);

    void add(const QString &operation, const QVector<double> &ours, const QVector<double> &raw = {},
             const QString &target = {}, const QVector<double> &rawRead = {});
    void print() const;
    const QVector<Row> &rows() const { return m_rows; }
    bool writeTsv(const QString &path) const;

    static double median(QVector<double> values);
    static double percentile(QVector<double> values, double p);
    static double peakResidentMb();

private:
    QVector<Row> m_rows;
    static std::function<quint64()> s_tripCounter;
    static QVector<double> s_lastTrips; // of the last time() run
};
