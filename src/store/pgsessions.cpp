#include "store/pgsessions.h"

#include "store/connection.h"
#include "store/dberror.h"
#include "store/pgpipeline.h"
#include "store/pgresult.h"

#include <QHash>
#include <QSet>
#include <QRegularExpression>
#include <QTimeZone>
#include <libpq-fe.h>

namespace {

// Passwords typed for a location this run, never written anywhere.
QHash<QString, QByteArray> &typedPasswords()
{
    static QHash<QString, QByteArray> passwords;
    return passwords;
}

// Servers (host and port) that a session asking for TLS only if offered was
// opened on without it, this run: later sessions there do not ask again (a
// round trip each), which is what asking would come to.
QSet<QString> &plainServers()
{
    static QSet<QString> servers;
    return servers;
}

// A location whoever connects: the same server and database.
QString serverOf(const QString &uri)
{
    static const QRegularExpression userInfo(QStringLiteral("^(postgres(?:ql)?://)[^/@?]*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression user(QStringLiteral("([?&])(user|password)=[^&]*"), QRegularExpression::CaseInsensitiveOption);
    return QString(uri).replace(userInfo, QStringLiteral("\\1")).replace(user, QStringLiteral("\\1"));
}

// Whether a session asked for TLS only if the server offered it (libpq's "prefer" or "allow").
bool tlsOptional(pg_conn *session)
{
    bool optional = false;
    PQconninfoOption *options = PQconninfo(session);
    for (PQconninfoOption *o = options; o && o->keyword; ++o)
        if (qstrcmp(o->keyword, "sslmode") == 0)
            optional = o->val && (qstrcmp(o->val, "prefer") == 0 || qstrcmp(o->val, "allow") == 0);
    PQconninfoFree(options);
    return optional;
}

void quiet(pg_conn *session)
{
    PQsetNoticeProcessor(session, [](void *, const char *) {}, nullptr);
}

} // namespace

PgSessions::PgSessions(const QString &uri) : m_uri(uri), m_location(withoutPassword(uri)) {}

PgSessions::~PgSessions()
{
    PQfinish(m_spare);
    PQfinish(m_main);
}

QString PgSessions::withoutPassword(const QString &uri)
{
    static const QRegularExpression userInfo(QStringLiteral("^(postgres(?:ql)?://[^/@?:]*):[^/@?]*@"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression parameter(QStringLiteral("([?&])password=[^&]*(&|$)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString shown = uri;
    shown.replace(userInfo, QStringLiteral("\\1@"));
    shown.replace(parameter, QStringLiteral("\\1"));
    while (shown.endsWith(QLatin1Char('&')) || shown.endsWith(QLatin1Char('?')))
        shown.chop(1);
    return shown;
}

void PgSessions::rememberPassword(const QString &uri)
{
    static const QRegularExpression userInfo(QStringLiteral("^postgres(?:ql)?://[^/@?:]*:([^/@?]*)@"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression parameter(QStringLiteral("[?&]password=([^&]*)"),
                                              QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch m = userInfo.match(uri);
    if (!m.hasMatch())
        m = parameter.match(uri);
    if (m.hasMatch())
        typedPasswords().insert(withoutPassword(uri), QByteArray::fromPercentEncoding(m.captured(1).toUtf8()));
}

void PgSessions::connect(bool ask)
{
    openMain(typedPasswords().value(m_location));
    // Asked only when libpq's own means gave none that worked.
    auto wantsPassword = [this] {
        return PQconnectionNeedsPassword(m_main)
               || (PQconnectionUsedPassword(m_main)
                   && pgSessionMessage(m_main).contains(QLatin1String("password"), Qt::CaseInsensitive));
    };
    if (!ask && PQstatus(m_main) != CONNECTION_OK && wantsPassword()) {
        const QString why = pgSessionMessage(m_main);
        PQfinish(std::exchange(m_main, nullptr));
        throw DbException(DbErrorCode::GeneralFailure, why, DbErrorKind::Refused);
    }
    for (int attempt = 0; attempt < 3 && PQstatus(m_main) != CONNECTION_OK && wantsPassword(); ++attempt) {
        const QString typed = Connection::askPassword(m_location);
        if (typed.isEmpty())
            break;
        openMain(typed.toUtf8());
        if (PQstatus(m_main) == CONNECTION_OK)
            typedPasswords().insert(m_location, typed.toUtf8());
    }
    if (PQstatus(m_main) != CONNECTION_OK) {
        const QString why = pgSessionMessage(m_main);
        PQfinish(std::exchange(m_main, nullptr));
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("无法连接数据库服务器“%1”: %2").arg(m_location, why));
    }
    quiet(m_main);
}

void PgSessions::openMain(const QByteArray &password)
{
    PQfinish(m_main);
    m_main = open(password);
    m_startLockTimeout = m_lockTimeout;
}

bool PgSessions::reconnect()
{
    PQreset(m_main);
    if (PQstatus(m_main) != CONNECTION_OK)
        return false;
    ++m_generation;
    quiet(m_main);
    return true;
}

pg_conn *PgSessions::take(bool *owed)
{
    pg_conn *session = std::exchange(m_spare, nullptr);
    *owed = std::exchange(m_spareOwed, false) && PQstatus(session) == CONNECTION_OK;
    if (*owed)
        return session;
    if (PQstatus(session) == CONNECTION_OK && PQtransactionStatus(session) == PQTRANS_IDLE)
        return session;
    PQfinish(session);
    session = open(typedPasswords().value(m_location));
    if (PQstatus(session) == CONNECTION_OK) {
        quiet(session);
        return session;
    }
    PQfinish(session);
    return nullptr;
}

void PgSessions::giveBack(pg_conn *session, bool owed)
{
    if (!m_spare && PQstatus(session) == CONNECTION_OK && (owed || PQtransactionStatus(session) == PQTRANS_IDLE)) {
        m_spare = session;
        m_spareOwed = owed;
    } else {
        PQfinish(session);
    }
}

pg_conn *PgSessions::open(const QByteArray &password) const
{
    // The session is set up as it starts, without a round trip of its own: values arrive as
    // SQLite gives them (exact doubles, ISO dates, text literals where a backslash is a
    // backslash), and now() and date() give the seat's local time. No statement is
    // compiled to machine code first: that took 0.2 s before the first rows of a
    // million customers' points, which come in 4 ms without it.
    const QByteArray options = "-c client_min_messages=warning -c standard_conforming_strings=on -c extra_float_digits=3 "
                               "-c DateStyle=ISO,YMD -c search_path=public -c jit=off -c lock_timeout="
                               + QByteArray::number(m_lockTimeout);
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    static const QRegularExpression plainZone(QStringLiteral("^[A-Za-z0-9_+/-]+$"));
    const bool withZone = plainZone.match(QString::fromUtf8(zone)).hasMatch();
    pg_conn *session = nullptr;
    for (bool zoned : {withZone, false}) {
        PQfinish(session);
        const QByteArray all = zoned ? options + " -c TimeZone=" + zone : options;
        const QByteArray uri = m_uri.toUtf8();
        std::vector<const char *> keys = {"dbname", "fallback_application_name", "client_encoding", "connect_timeout",
                                          "options"};
        std::vector<const char *> values = {uri.constData(), "Avelor", "UTF8", "10", all.constData()};
        if (!password.isEmpty()) {
            keys.push_back("password");
            values.push_back(password.constData());
        }
        if (plainServers().contains(serverOf(m_uri))) {
            keys.push_back("sslmode");
            values.push_back("disable");
        }
        keys.push_back(nullptr);
        values.push_back(nullptr);
        session = PQconnectdbParams(keys.data(), values.data(), 1);
        // The server offered no TLS to a session that asked for it only if offered: noted for the next ones.
        if (PQstatus(session) == CONNECTION_OK && !PQsslInUse(session) && tlsOptional(session))
            plainServers().insert(serverOf(m_uri));
        // A zone the server does not know: its own stays.
        if (!zoned || PQstatus(session) == CONNECTION_OK || !pgSessionMessage(session).contains(QLatin1String("TimeZone")))
            break;
    }
    return session;
}
