#include "store/engine.h"

#include "store/dberror.h"
#include "store/pgengine.h"
#include "store/sqliteengine.h"

bool Engine::isServerLocation(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive)
           || location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

std::unique_ptr<Engine> Engine::open(const QString &location)
{
    if (isServerLocation(location))
        return std::make_unique<PgEngine>(location);
    return std::make_unique<SqliteEngine>(location);
}

QString Engine::quoteIdentifier(const QString &name) const
{
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
