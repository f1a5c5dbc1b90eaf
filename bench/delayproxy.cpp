#include "delayproxy.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrlQuery>
#include <deque>
#include <libpq-fe.h>

namespace {

// One direction of one connection: bytes wait their time, then go on in order.
class DelayedPipe : public QObject
{
public:
    DelayedPipe(QIODevice *from, QIODevice *to, int delayMs, QObject *parent)
        : QObject(parent), m_from(from), m_to(to), m_delay(delayMs)
    {
        m_clock.start();
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &DelayedPipe::pass);
        connect(from, &QIODevice::readyRead, this, &DelayedPipe::take);
    }
    void take()
    {
        const QByteArray bytes = m_from->readAll();
        if (bytes.isEmpty())
            return;
        m_waiting.push_back({m_clock.elapsed() + m_delay, bytes});
        if (!m_timer.isActive())
            m_timer.start(m_delay);
    }
    // The other end went away: what waits is still passed on, then this end closes too.
    void closeAfterwards(std::function<void()> close)
    {
        m_close = std::move(close);
        if (m_waiting.empty())
            m_close();
    }

private:
    void pass()
    {
        const qint64 now = m_clock.elapsed();
        while (!m_waiting.empty() && m_waiting.front().first <= now) {
            m_to->write(m_waiting.front().second);
            m_waiting.pop_front();
        }
        if (!m_waiting.empty())
            m_timer.start(static_cast<int>(m_waiting.front().first - now));
        else if (m_close)
            m_close();
    }

    QIODevice *m_from;
    QIODevice *m_to;
    int m_delay;
    QElapsedTimer m_clock;
    QTimer m_timer;
    std::deque<std::pair<qint64, QByteArray>> m_waiting;
    std::function<void()> m_close;
};

class ProxyServer : public QTcpServer
{
public:
    ProxyServer(QString upstream, int delayMs) : m_upstream(std::move(upstream)), m_delay(delayMs) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *client = new QTcpSocket(this);
        client->setSocketDescriptor(descriptor);
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QIODevice *server = nullptr;
        if (m_upstream.startsWith(QLatin1Char('/'))) {
            auto *local = new QLocalSocket(client);
            local->connectToServer(m_upstream);
            local->waitForConnected(5000);
            server = local;
        } else {
            auto *tcp = new QTcpSocket(client);
            const qsizetype colon = m_upstream.lastIndexOf(QLatin1Char(':'));
            tcp->connectToHost(m_upstream.left(colon), m_upstream.mid(colon + 1).toUShort());
            tcp->waitForConnected(5000);
            tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            server = tcp;
        }
        auto *up = new DelayedPipe(client, server, m_delay, client);
        auto *down = new DelayedPipe(server, client, m_delay, client);
        // Either end going away closes the other once what it sent has passed.
        QPointer<QTcpSocket> guard(client);
        connect(client, &QIODevice::readChannelFinished, up, [up, server] { up->closeAfterwards([server] { server->close(); }); });
        connect(server, &QIODevice::readChannelFinished, down, [down, guard] {
            down->closeAfterwards([guard] {
                if (guard) {
                    guard->close();
                    guard->deleteLater();
                }
            });
        });
    }

private:
    QString m_upstream;
    int m_delay;
};

} // namespace

DelayProxy::DelayProxy(const QString &upstream, int oneWayMs) : m_thread(new QThread)
{
    QSemaphore listening;
    auto *server = new ProxyServer(upstream, oneWayMs);
    server->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::started, server, [this, server, &listening] {
        if (server->listen(QHostAddress::LocalHost, 0))
            m_port = server->serverPort();
        listening.release();
    });
    QObject::connect(m_thread, &QThread::finished, server, &QObject::deleteLater);
    m_thread->start();
    listening.acquire();
}

DelayProxy::~DelayProxy()
{
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

QString DelayProxy::upstreamOf(const QString &location)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(location.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options)
        return {};
    QString host, port = QStringLiteral("5432");
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        const QString value = o->val ? QString::fromUtf8(o->val).section(QLatin1Char(','), 0, 0) : QString();
        if (qstrcmp(o->keyword, "host") == 0 && !value.isEmpty())
            host = value;
        else if (qstrcmp(o->keyword, "port") == 0 && !value.isEmpty())
            port = value;
    }
    PQconninfoFree(options);
    if (host.isEmpty())
        host = QStringLiteral("/var/run/postgresql");
    return host.startsWith(QLatin1Char('/')) ? host + QStringLiteral("/.s.PGSQL.") + port : host + QLatin1Char(':') + port;
}

QString DelayProxy::throughPort(const QString &location, quint16 port)
{
    char *error = nullptr;
    PQconninfoOption *options = PQconninfoParse(location.toUtf8().constData(), &error);
    PQfreemem(error);
    if (!options)
        return {};
    QString user, database;
    QUrlQuery rest;
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (!o->val)
            continue;
        const QString key = QString::fromUtf8(o->keyword), value = QString::fromUtf8(o->val);
        if (key == QLatin1String("user"))
            user = value;
        else if (key == QLatin1String("dbname"))
            database = value;
        else if (key != QLatin1String("host") && key != QLatin1String("hostaddr") && key != QLatin1String("port"))
            rest.addQueryItem(key, value);
    }
    PQconninfoFree(options);
    QString uri = QStringLiteral("postgresql://");
    if (!user.isEmpty())
        uri += QString::fromUtf8(QUrl::toPercentEncoding(user)) + QLatin1Char('@');
    uri += QStringLiteral("127.0.0.1:") + QString::number(port) + QLatin1Char('/')
           + QString::fromUtf8(QUrl::toPercentEncoding(database));
    if (!rest.isEmpty())
        uri += QLatin1Char('?') + rest.toString(QUrl::FullyEncoded);
    return uri;
}
