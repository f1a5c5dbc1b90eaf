#include "benchtimer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <utility>

std::function<quint64()> BenchTable::s_tripCounter;
QVector<double> BenchTable::s_lastTrips;

void BenchTable::countTripsWith(std::function<quint64()> counter)
{
    s_tripCounter = std::move(counter);
}

QVector<double> BenchTable::time(int count, const std::function<void(int)> &operation)
{
    QVector<double> ms;
    ms.reserve(count);
    s_lastTrips.clear();
    QElapsedTimer timer;
    for (int i = 0; i < count; ++i) {
        const quint64 trips = s_tripCounter ? s_tripCounter() : 0;
        timer.start();
        operation(i);
        ms.append(timer.nsecsElapsed() / 1e6);
        if (s_tripCounter)
            s_lastTrips.append(double(s_tripCounter() - trips));
    }
    return ms;
}

QVector<double> BenchTable::timeRaw(sqlite3 *db, int count, const std::function<QStringList(int)> &statements,
                                    bool readColumns)
{
    QVector<double> ms;
    if (!db)
        return ms;
    ms.reserve(count);
    QElapsedTimer timer;
    for (int i = 0; i < count; ++i) {
        const QStringList sqls = statements(i);
        timer.start();
        for (const QString &sql : sqls) {
            sqlite3_stmt *stmt = nullptr;
            const QByteArray utf8 = sql.toUtf8();
            if (sqlite3_prepare_v2(db, utf8.constData(), -1, &stmt, nullptr) == SQLITE_OK)
                while (sqlite3_step(stmt) == SQLITE_ROW) {
                    if (!readColumns)
                        continue;
                    // What any program that shows the rows must do at least: read every value.
                    for (int c = 0; c < sqlite3_column_count(stmt); ++c)
                        if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                            (void)sqlite3_column_bytes(stmt, c), (void)sqlite3_column_text(stmt, c);
                        else
                            (void)sqlite3_column_double(stmt, c);
                }
            sqlite3_finalize(stmt);
        }
        ms.append(timer.nsecsElapsed() / 1e6);
    }
    return ms;
}

double BenchTable::median(QVector<double> values)
{
    return percentile(std::move(values), 0.5);
}

double BenchTable::percentile(QVector<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype at = std::min<qsizetype>(values.size() - 1, static_cast<qsizetype>(p * (values.size() - 1) + 0.5));
    return values.at(at);
}

double BenchTable::peakResidentMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void BenchTable::add(const QString &operation, const QVector<double> &ours, const QVector<double> &raw,
                     const QString &target, const QVector<double> &rawRead)
{
    Row row;
    row.operation = operation;
    row.count = static_cast<int>(ours.size());
    row.median = median(ours);
    row.p95 = percentile(ours, 0.95);
    row.rawMedian = raw.isEmpty() ? -1 : median(raw);
    row.readMedian = rawRead.isEmpty() ? -1 : median(rawRead);
    row.peakMb = peakResidentMb();
    row.trips = s_lastTrips.isEmpty() ? -1 : median(std::exchange(s_lastTrips, {}));
    row.target = target;
    m_rows.append(row);
    std::printf("  %-44s done (%d x, median %.2f ms)\n", qPrintable(operation), row.count, row.median);
    std::fflush(stdout);
}

void BenchTable::print() const
{
    std::printf("\n%-40s %6s %10s %10s %9s %9s %8s %6s  %s\n", "operation", "count", "median ms", "p95 ms", "ours/raw",
                "ours/read", "peak MB", "trips", "target");
    for (const Row &r : m_rows) {
        const QString ratio = r.rawMedian > 0 ? QString::number(r.median / r.rawMedian, 'f', 2) : QStringLiteral("-");
        const QString read = r.readMedian > 0 ? QString::number(r.median / r.readMedian, 'f', 2) : QStringLiteral("-");
        const QString trips = r.trips >= 0 ? QString::number(r.trips) : QStringLiteral("-");
        std::printf("%-40s %6d %10.2f %10.2f %9s %9s %8.1f %6s  %s\n", qPrintable(r.operation), r.count, r.median, r.p95,
                    qPrintable(ratio), qPrintable(read), r.peakMb, qPrintable(trips), qPrintable(r.target));
    }
}

bool BenchTable::writeTsv(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "operation\tcount\tmedian_ms\tp95_ms\traw_median_ms\tratio\tread_median_ms\tratio_read\tpeak_mb\ttrips\ttarget\n";
    for (const Row &r : m_rows) {
        out << r.operation << '\t' << r.count << '\t' << QString::number(r.median, 'f', 3) << '\t'
            << QString::number(r.p95, 'f', 3) << '\t'
            << (r.rawMedian > 0 ? QString::number(r.rawMedian, 'f', 3) : QStringLiteral("")) << '\t'
            << (r.rawMedian > 0 ? QString::number(r.median / r.rawMedian, 'f', 3) : QStringLiteral("")) << '\t'
            << (r.readMedian > 0 ? QString::number(r.readMedian, 'f', 3) : QStringLiteral("")) << '\t'
            << (r.readMedian > 0 ? QString::number(r.median / r.readMedian, 'f', 3) : QStringLiteral("")) << '\t'
            << QString::number(r.peakMb, 'f', 1) << '\t' << (r.trips >= 0 ? QString::number(r.trips) : QString())
            << '\t' << r.target << '\n';
    }
    return true;
}
