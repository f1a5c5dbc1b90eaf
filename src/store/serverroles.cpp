#include "store/serverroles.h"

#include "store/connection.h"
#include "store/datafiles.h"
#include "store/dberror.h"
#include "store/engine.h"
#include "store/pgengine.h"
#include "store/sqlquote.h"

#include <QRegularExpression>
#include <QUrl>
#include <libpq-fe.h>

namespace {

const QRegularExpression &userInfo()
{
    static const QRegularExpression re(QStringLiteral("^(postgres(?:ql)?://)(?:[^/@?]*@)?"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re;
}

pg_conn *sessionOf(Connection &connection)
{
    auto *engine = dynamic_cast<PgEngine *>(&connection.engine());
    if (!engine)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("只有服务器上的数据库才有登录角色"));
    engine->ensureConnected();
    return engine->handle();
}

} // namespace

namespace {
// Marks the lobby with the grants it was set up with: a version whose roles
// file grants otherwise changes it, and its owner's next opening grants anew.
const QString kRolesMark = QStringLiteral("torvane roles 1");
}

QString ServerRoles::wantedProbe()
{
    // The owner with CREATEROLE, on an archive whose lobby is missing, cannot
    // connect, or was set up with the grants of another version.
    return QStringLiteral(
        "CASE WHEN to_regclass('public.czyzd') IS NULL THEN 0 "
        "WHEN NOT EXISTS (SELECT 1 FROM pg_database d JOIN pg_roles r ON r.oid = d.datdba "
        "WHERE d.datname = current_database() AND r.rolname = current_user AND r.rolcreaterole) THEN 0 "
        "WHEN to_regprocedure('public.torvane_setup_roles(boolean)') IS NULL THEN 1 "
        "WHEN to_regrole(quote_ident(current_database() || '_lobby')) IS NULL THEN 1 "
        "WHEN NOT has_database_privilege(current_database() || '_lobby', current_database(), 'CONNECT') THEN 1 "
        "WHEN shobj_description(to_regrole(quote_ident(current_database() || '_lobby'))::oid, 'pg_authid') "
        "IS DISTINCT FROM ")
           + sqlQuote(kRolesMark) + QStringLiteral(" THEN 1 ELSE 0 END");
}

void ServerRoles::install(Engine &engine, bool fresh)
{
    engine.executeScript(dataFileText(QStringLiteral("roles-postgres.sql"))
                         + (fresh ? QStringLiteral("\nSELECT torvane_setup_roles(true);")
                                  : QStringLiteral("\nSELECT torvane_setup_roles(false);"))
                         + QStringLiteral("\nDO $$ BEGIN EXECUTE format('COMMENT ON ROLE %I IS %L', "
                                          "torvane_role_name('group', 'lobby'), ")
                         + sqlQuote(kRolesMark) + QStringLiteral("); END $$;"));
}

// A function of the roles missing: an archive its owner has not opened since, or
// could not set up (no CREATEROLE). Says who can mend it, not what SQL failed.
[[noreturn]] static void failWithoutRoles(const DbException &e, const Connection &connection, const char *function)
{
    if (!e.description().contains(QLatin1String(function)))
        throw e;
    throw DbException(DbErrorCode::GeneralFailure,
                      QStringLiteral("服务器上的这个档案还没有操作员的登录角色。请数据库的所有者（须可建立角色，CREATEROLE）"
                                     "运行 torvane --reset-password admin --database %1 一次。")
                          .arg(Connection::shownLocation(connection.location())));
}

QString ServerRoles::roleOf(Connection &connection, const QString &operatorName)
{
    try {
        return connection.scalar(QStringLiteral("select torvane_role_name('operator', ?)"), {operatorName}).toString();
    } catch (const DbException &e) {
        failWithoutRoles(e, connection, "torvane_role_name");
    }
}

QString ServerRoles::withUser(const QString &location, const QString &role)
{
    static const QRegularExpression userParameter(QStringLiteral("([?&])user=[^&]*(&|$)"),
                                                  QRegularExpression::CaseInsensitiveOption);
    QString uri = PgEngine::withoutPassword(location);
    uri.replace(userParameter, QStringLiteral("\\1"));
    while (uri.endsWith(QLatin1Char('&')) || uri.endsWith(QLatin1Char('?')))
        uri.chop(1);
    const QRegularExpressionMatch head = userInfo().match(uri);
    if (!head.hasMatch())
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("“%1”不是服务器位置").arg(uri));
    return head.captured(1) + QString::fromLatin1(QUrl::toPercentEncoding(role)) + QLatin1Char('@')
           + uri.mid(head.capturedLength());
}

ServerRoles::Answer ServerRoles::tryPassword(const QString &location, const QString &password)
{
    // An empty password would let libpq look in ~/.pgpass: what was typed is what counts.
    if (password.isEmpty())
        return Answer::Refused;
    const QByteArray uri = location.toUtf8();
    const QByteArray typed = password.toUtf8();
    const char *keys[] = {"dbname", "password", "connect_timeout", "fallback_application_name", nullptr};
    const char *values[] = {uri.constData(), typed.constData(), "10", "Avelor", nullptr};
    pg_conn *conn = PQconnectdbParams(keys, values, 1);
    const bool ok = PQstatus(conn) == CONNECTION_OK;
    const bool refused = !ok && (PQconnectionUsedPassword(conn) || PQconnectionNeedsPassword(conn));
    const QString why = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
    PQfinish(conn);
    if (ok)
        return Answer::Accepted;
    if (refused)
        return Answer::Refused;
    throw DbException(DbErrorCode::GeneralFailure,
                      QStringLiteral("无法连接数据库服务器“%1”: %2").arg(Connection::shownLocation(location), why));
}

void ServerRoles::rememberPassword(const QString &location, const QString &password)
{
    const QRegularExpressionMatch head = userInfo().match(location);
    if (!head.hasMatch() || head.capturedLength() == head.captured(1).size())
        return;
    // user@ becomes user:password@, as a location written with its password.
    const qsizetype at = head.capturedLength() - 1;
    Connection::rememberPassword(location.left(at) + QLatin1Char(':')
                                 + QString::fromLatin1(QUrl::toPercentEncoding(password)) + location.mid(at));
}

void ServerRoles::openAs(Connection &connection, const QString &location)
{
    connection.adopt(Engine::open(location));
}

bool ServerRoles::logInAs(Connection &connection, const QString &location, const QString &password,
                          const QList<QPair<QString, QVariantList>> &firstReads)
{
    // An empty password would let libpq look in ~/.pgpass: what was typed is what counts.
    if (password.isEmpty())
        return false;
    rememberPassword(location, password);
    // Translated here: the same archive, so the operator's session would translate them alike.
    PgEngine::FirstReads translated;
    for (const auto &[sql, values] : firstReads)
        translated.append({connection.engine().translate(sql), values});
    std::unique_ptr<Engine> engine;
    try {
        engine = std::make_unique<PgEngine>(location, PgEngine::Purpose::LogIn, translated);
    } catch (const DbException &e) {
        if (e.kind() == DbErrorKind::Refused)
            return false;
        throw;
    }
    connection.adopt(std::move(engine));
    return true;
}

namespace {
const QString kAccountRoles = QStringLiteral("select czy_no, torvane_role_name('operator', czy_name) from czyzd");
}

QString ServerRoles::roleOfAccount(Connection &connection, qint64 account)
{
    try {
        Statement roles = connection.prepare(kAccountRoles);
        while (roles.next())
            if (roles.value(0).toLongLong() == account)
                return roles.value(1).toString();
        return {};
    } catch (const DbException &e) {
        failWithoutRoles(e, connection, "torvane_role_name");
    }
}

void ServerRoles::readRolesAhead(Connection &connection)
{
    if (connection.isServer())
        connection.readAhead(kAccountRoles);
}

QString ServerRoles::verifier(Connection &connection, const QString &password)
{
    const QByteArray clear = password.toUtf8();
    char *made = PQencryptPasswordConn(sessionOf(connection), clear.constData(), "", "scram-sha-256");
    if (!made)
        throw DbException(DbErrorCode::GeneralFailure,
                          QStringLiteral("无法生成口令: %1").arg(QString::fromUtf8(PQerrorMessage(sessionOf(connection)))));
    const QString text = QString::fromLatin1(made);
    PQfreemem(made);
    return text;
}

void ServerRoles::setPassword(Connection &connection, const QString &operatorName, const QString &password)
{
    try {
        connection.scalar(QStringLiteral("select torvane_set_password(?, ?)"), {operatorName, verifier(connection, password)});
    } catch (const DbException &e) {
        failWithoutRoles(e, connection, "torvane_set_password");
    }
}

bool ServerRoles::encrypted(Connection &connection)
{
    return PQsslInUse(sessionOf(connection)) == 1;
}
