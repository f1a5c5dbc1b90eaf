#include "store/connection.h"

#include "store/engine.h"
#include "store/pgengine.h"
#include "store/schemaupgrade.h"

namespace {

int &defaultTimeout()
{
    static int timeout = 5000;
    return timeout;
}

std::function<void(bool)> &defaultObserver()
{
    static std::function<void(bool)> observer;
    return observer;
}

std::function<QString(const QString &)> &passwordProvider()
{
    static std::function<QString(const QString &)> provider;
    return provider;
}

} // namespace

Connection::Connection() = default;

Connection::~Connection()
{
    close();
}

void Connection::setDefaultBusyTimeout(int milliseconds)
{
    defaultTimeout() = std::max(0, milliseconds);
}

int Connection::defaultBusyTimeout()
{
    return defaultTimeout();
}

void Connection::setDefaultBusyObserver(std::function<void(bool)> observer)
{
    defaultObserver() = std::move(observer);
}

void Connection::setPasswordProvider(std::function<QString(const QString &)> provider)
{
    passwordProvider() = std::move(provider);
}

QString Connection::askPassword(const QString &location)
{
    return passwordProvider() ? passwordProvider()(location) : QString();
}

void Connection::rememberPassword(const QString &location)
{
    if (isServerLocation(location))
        PgEngine::rememberPassword(location);
}

QString Connection::connectionText(const QString &folder, const QString &file)
{
    return QStringLiteral("data source=") + folder + QLatin1Char('/') + file;
}

QString Connection::dataSourceOf(const QString &connectionText)
{
    static const QString key = QStringLiteral("data source=");
    const qsizetype at = connectionText.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype start = at + key.size();
    const qsizetype end = connectionText.indexOf(QLatin1Char(';'), start);
    QString source = connectionText.mid(start, end < 0 ? -1 : end - start).trimmed();
    // A server location is folder + name run together: "postgresql://host/" + "/" + "db".
    if (Engine::isServerLocation(source)) {
        const qsizetype scheme = source.indexOf(QLatin1String("://")) + 3;
        const qsizetype doubled = source.indexOf(QLatin1String("//"), scheme);
        if (doubled >= 0)
            source.remove(doubled, 1);
    }
    return source;
}

bool Connection::isServerLocation(const QString &location)
{
    return Engine::isServerLocation(location);
}

QString Connection::shownLocation(const QString &location)
{
    return isServerLocation(location) ? PgEngine::withoutPassword(location) : location;
}

void Connection::open(const QString &connectionText)
{
    m_connectionText = connectionText;
    openLocation(dataSourceOf(connectionText));
}

void Connection::openLocation(const QString &location)
{
    close();
    adopt(Engine::open(location));
}

void Connection::adopt(std::unique_ptr<Engine> engine)
{
    close();
    m_engine = std::move(engine);
    m_location = m_engine->location();
    m_engine->setBusyTimeout(defaultTimeout());
    if (defaultObserver())
        m_engine->setBusyObserver(defaultObserver());
    SchemaUpgrade::apply(*m_engine);
}

void Connection::close()
{
    finishPendingReaders();
    // A write held for a later statement is not lost with the connection.
    if (m_engine) {
        try {
            m_engine->sendSoonWrites();
        } catch (const DbException &e) {
            qWarning("Torvane: a write held for later could not be sent as the connection closed: %s",
                     qPrintable(e.description()));
        }
    }
    m_engine.reset();
}

void Connection::addPendingReader(const void *key, std::function<void()> finish)
{
    removePendingReader(key);
    m_pendingReaders.emplace_back(key, std::move(finish));
}

void Connection::removePendingReader(const void *key)
{
    std::erase_if(m_pendingReaders, [key](const auto &reader) { return reader.first == key; });
}

void Connection::finishPendingReaders()
{
    // Each reader takes itself off the list when it is done.
    while (!m_pendingReaders.empty()) {
        const auto reader = m_pendingReaders.front();
        reader.second();
        removePendingReader(reader.first);
    }
}

bool Connection::isServer() const
{
    return m_engine && m_engine->isServer();
}

void Connection::fail(long number, const QString &description) const
{
    throw DbException(number, description);
}

Engine &Connection::requireOpen() const
{
    if (!m_engine)
        fail(DbErrorCode::ObjectClosed, QStringLiteral("连接未打开"));
    return *m_engine;
}

Engine &Connection::engine()
{
    return requireOpen();
}

Statement Connection::prepare(const QString &sql)
{
    Engine &engine = requireOpen();
    const QString translated = engine.translate(sql);
    Statement statement(engine.prepare(translated), translated);
    if (!m_pendingReaders.empty() && !statement.readOnly())
        finishPendingReaders();
    return statement;
}

Statement Connection::prepareStreamed(const QString &sql)
{
    Engine &engine = requireOpen();
    const QString translated = engine.translate(sql);
    return Statement(engine.prepareStreamed(translated), translated);
}

RowCount Connection::execute(const QString &sql, const QVariantList &parameters)
{
    Statement statement = prepare(sql);
    statement.bindAll(parameters);
    if (PendingCount pending = statement.runLater())
        return RowCount(std::move(pending), [this] { requireOpen().sendPending(); });
    return statement.run();
}

void Connection::require(const QString &sql, const QVariantList &parameters, const DbException &unmet)
{
    Statement statement = prepare(sql);
    statement.bindAll(parameters);
    if (statement.requireLater(unmet))
        return;
    int found = 0;
    while (statement.next())
        ++found;
    // A write gives no columns: what it changed is its count.
    if (statement.columnCount() == 0)
        found = statement.changes();
    statement.reset();
    if (found == 0)
        throw unmet;
}

void Connection::executeSoon(const QString &sql, const QVariantList &parameters, bool mayFail)
{
    Statement statement = prepare(sql);
    statement.bindAll(parameters);
    if (!statement.runSoon(mayFail))
        statement.run();
}

void Connection::readAhead(const QString &sql, const QVariantList &parameters)
{
    Statement statement = prepare(sql);
    statement.bindAll(parameters);
    statement.readAhead();
}

void Connection::readAgainAfterWrite(const QVariantList &values)
{
    requireOpen().readAgainAfterWrite(values);
}

void Connection::sendSoonWrites()
{
    requireOpen().sendSoonWrites();
}

quint64 Connection::roundTrips() const
{
    return m_engine ? m_engine->roundTrips() : 0;
}

QVariant Connection::scalar(const QString &sql, const QVariantList &parameters)
{
    Statement statement = prepare(sql);
    statement.bindAll(parameters);
    if (!statement.next() || statement.columnCount() == 0)
        return {};
    return statement.value(0);
}

void Connection::executeScript(const QString &sql)
{
    finishPendingReaders();
    requireOpen().executeScript(sql);
}

void Connection::begin()
{
    finishPendingReaders();
    requireOpen().begin();
}

void Connection::commit()
{
    requireOpen().commit();
}

void Connection::rollback() noexcept
{
    if (m_engine)
        m_engine->rollback();
}

bool Connection::inTransaction() const
{
    return m_engine && m_engine->inTransaction();
}

void Connection::setBusyTimeout(int milliseconds)
{
    requireOpen().setBusyTimeout(milliseconds);
}
