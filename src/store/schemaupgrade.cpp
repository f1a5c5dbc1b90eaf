#include "store/schemaupgrade.h"

#include "store/datafiles.h"
#include "store/dberror.h"
#include "store/engine.h"
#include "store/serverroles.h"
#include "store/transactionguard.h"

namespace {

QString keptPointsPart(bool server)
{
    const QString script = dataFileText(server ? QStringLiteral("schema-postgres.sql") : QStringLiteral("schema.sql"));
    const qsizetype begin = script.indexOf(QLatin1String("-- kept points: begin"));
    const qsizetype end = script.indexOf(QLatin1String("-- kept points: end"));
    if (begin < 0 || end < begin)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("数据结构脚本缺少积分汇总部分"));
    return script.mid(begin, end - begin);
}

qint64 number(Engine &engine, const QString &sql)
{
    Statement statement(engine.prepare(sql), sql);
    return statement.next() ? statement.value(0).toLongLong() : 0;
}

// What an archive of an earlier version lacks, asked in one question per
// opening: the statistics' day index (1) and, on a server, the latest Jet
// function (2) and the customers' index of name and identity (4); how many of the customers and the kept points are there
// (the kept points are added when only the customers are); on a server,
// whether its owner is to set up its roles.
struct Missing
{
    qint64 parts = 0;
    qint64 keptPoints = 0;
    bool roles = false;
};

} // namespace

QString SchemaUpgrade::question(bool server)
{
    // On the server by name, not through the catalogue views: a new session plans those slowly.
    return server ? QStringLiteral("SELECT CASE WHEN to_regclass('public.sumhangkong') IS NOT NULL "
                                "AND to_regclass('public.sumhangkong_day') IS NULL THEN 1 ELSE 0 END "
                                "+ CASE WHEN to_regclass('public.hyda') IS NOT NULL "
                                "AND to_regprocedure('public.jet_require(bigint)') IS NULL THEN 2 ELSE 0 END "
                                "+ CASE WHEN to_regclass('public.hyda') IS NOT NULL "
                                "AND to_regclass('public.hyda_xm_id') IS NULL THEN 4 ELSE 0 END, "
                                "(to_regclass('public.hyda') IS NOT NULL)::int + (to_regclass('public.sumkh') IS NOT NULL)::int, ")
                     + ServerRoles::wantedProbe()
               : QStringLiteral("SELECT (SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'SUMhangkong' "
                                "AND NOT EXISTS (SELECT 1 FROM sqlite_master WHERE type = 'index' "
                                "AND name = 'SUMhangkong_day')), "
                                "(SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('hyda', 'SUMkh'))");
}

namespace {

Missing ask(Engine &engine, bool server)
{
    const QString sql = SchemaUpgrade::question(server);
    Statement statement(engine.prepare(sql), sql);
    if (!statement.next())
        return {};
    return {statement.value(0).toLongLong(), statement.value(1).toLongLong(),
            server && statement.value(2).toInt() == 1};
}

// A part added to an archive that lacks it; one that cannot take it now
// (read-only, another seat busy) works without it, and the next opening tries again.
void addPart(Engine &engine, const QString &script, const char *what)
{
    try {
        engine.executeScript(script);
    } catch (const DbException &e) {
        qWarning("%s could not be added to %s: %s", what, qPrintable(engine.location()), qPrintable(e.description()));
    }
}

void addIndexesAndFunctions(Engine &engine, qint64 found)
{
    if (found & 2)
        addPart(engine, dataFileText(QStringLiteral("jet-functions-postgres.sql")), "the Jet functions");
    // A find by name in a window of many customers asks for the first
    // identity from a place on: this index answers it without a sort.
    if (found & 4)
        addPart(engine, QStringLiteral("CREATE INDEX IF NOT EXISTS hyda_xm_id ON hyda (xm, id); DROP INDEX IF EXISTS hyda_xm;"),
                "the name index");
    if (found & 1)
        addPart(engine, QStringLiteral("CREATE INDEX IF NOT EXISTS SUMhangkong_day ON SUMhangkong "
                                       "(cprq, ZSOFSUM, AMOUNT2OFSUM, AMOUNT3OFSUM);"),
                "the day index");
}

// Customers without the kept points: an archive of an earlier version (an empty
// file or server database being created has neither).
void addKeptPoints(Engine &engine, bool server)
{
    const QString probe = server ? QStringLiteral("SELECT (to_regclass('public.hyda') IS NOT NULL)::int "
                                                  "+ (to_regclass('public.sumkh') IS NOT NULL)::int")
                                 : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                                  "AND name IN ('hyda', 'SUMkh')");
    const QString fill = server ? QStringLiteral("INSERT INTO sumkh SELECT kh, count(*), coalesce(sum(jifen), 0), "
                                                 "coalesce(sum(jifenyue), 0) FROM hyxc GROUP BY kh;")
                                : QStringLiteral("INSERT INTO SUMkh SELECT kh, count(*), total(jifen), total(jifenyue) "
                                                 "FROM hyxc GROUP BY kh;");
    // An archive that cannot take it now (read-only, another seat writing) works
    // as it is, summing the tickets; the next opening tries again.
    try {
        TransactionGuard transaction(engine);
        if (number(engine, probe) == 1)
            engine.executeScript(QStringLiteral("DROP VIEW IF EXISTS SUMJIFEN;\n") + keptPointsPart(server) + fill);
        transaction.commit();
    } catch (const DbException &e) {
        qWarning("the kept points could not be added to %s: %s", qPrintable(engine.location()),
                 qPrintable(e.description()));
    }
}

} // namespace

void SchemaUpgrade::apply(Engine &engine)
{
    const bool server = engine.isServer();
    const Missing missing = ask(engine, server);
    addIndexesAndFunctions(engine, missing.parts);
    if (missing.keptPoints == 1)
        addKeptPoints(engine, server);
    // The server's roles, when the owner opens an archive that has none yet
    // (after the kept points, whose triggers then run with the owner's rights).
    if (missing.roles) {
        try {
            ServerRoles::install(engine, false);
        } catch (const DbException &e) {
            qWarning("the server roles could not be set up on %s: %s", qPrintable(engine.location()),
                     qPrintable(e.description()));
        }
    }
}

bool SchemaUpgrade::addedOnOpen(const QString &object)
{
    const QString name = object.section(QLatin1Char(' '), 1).toLower();
    return name == QLatin1String("sumkh") || name.startsWith(QLatin1String("sumkh."))
           || name.startsWith(QLatin1String("hyxc_points_"));
}
