#pragma once

#include <QString>
#include <memory>

class QThread;

// A stand-in for a distant server: listens on a local TCP port and passes
// every byte to the server and back, each direction held `oneWayMs` before it
// is passed on, in the order it came. A round trip through it costs twice
// that, as a branch's network would. It runs on a thread of its own, so a
// caller that blocks waiting for an answer does not hold it up.
class DelayProxy
{
public:
    // `upstream`: a TCP "host:port", or the path of a Unix socket.
    DelayProxy(const QString &upstream, int oneWayMs);
    ~DelayProxy();
    DelayProxy(const DelayProxy &) = delete;
    DelayProxy &operator=(const DelayProxy &) = delete;

    // The local port it listens on (0 when it could not listen).
    quint16 port() const { return m_port; }

    // The upstream a libpq location reaches (its first host and port), and the
    // same location sent through a proxy on `port` instead. Empty when the
    // location cannot be read.
    static QString upstreamOf(const QString &location);
    static QString throughPort(const QString &location, quint16 port);

private:
    QThread *m_thread = nullptr;
    quint16 m_port = 0;
};
