#include "delayproxy.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

// The benchmark's stand-in for a distant server: the figures it gives are
// only as good as its delay and its faithfulness to the bytes.
class TestDelayProxy : public QObject
{
    Q_OBJECT
private slots:
    void locations_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("upstream");
        QTest::addColumn<QString>("through"); // on port 7000
        QTest::newRow("socket folder") << "postgresql://torvane@/kvora?host=/tmp/pg&port=5433" << "/tmp/pg/.s.PGSQL.5433"
                                       << "postgresql://torvane@127.0.0.1:7000/kvora";
        QTest::newRow("host, options kept") << "postgresql://clerk@db.example:6000/kvora?sslmode=require"
                                            << "db.example:6000" << "postgresql://clerk@127.0.0.1:7000/kvora?sslmode=require";
        QTest::newRow("keywords") << "host=dbhost dbname=kvora user=a" << "dbhost:5432" << "postgresql://a@127.0.0.1:7000/kvora";
    }
    void locations()
    {
        QFETCH(QString, location);
        QFETCH(QString, upstream);
        QFETCH(QString, through);
        QCOMPARE(DelayProxy::upstreamOf(location), upstream);
        QCOMPARE(DelayProxy::throughPort(location, 7000), through);
    }

    // Every byte comes back as sent, in order, and not before a round trip's delay.
    void delaysAndKeepsOrder()
    {
        QTemporaryDir folder;
        QLocalServer echo;
        QVERIFY(echo.listen(folder.filePath(QStringLiteral("echo"))));
        connect(&echo, &QLocalServer::newConnection, this, [&echo] {
            QLocalSocket *s = echo.nextPendingConnection();
            connect(s, &QLocalSocket::readyRead, s, [s] { s->write(s->readAll()); });
        });
        constexpr int oneWay = 40;
        DelayProxy proxy(echo.fullServerName(), oneWay);
        QVERIFY(proxy.port() != 0);
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, proxy.port());
        QVERIFY(client.waitForConnected(2000));
        QByteArray sent, received;
        connect(&client, &QTcpSocket::readyRead, this, [&] { received += client.readAll(); });
        QElapsedTimer clock;
        clock.start();
        qint64 firstBack = -1;
        for (int i = 0; i < 30; ++i) {
            const QByteArray piece = "<" + QByteArray::number(i) + QByteArray(i * 97 % 500, 'x') + ">";
            sent += piece;
            client.write(piece);
            client.flush();
            QTest::qWait(i % 5);
            if (firstBack < 0 && !received.isEmpty())
                firstBack = clock.elapsed();
        }
        QTRY_VERIFY_WITH_TIMEOUT(received.size() >= sent.size(), 5000);
        if (firstBack < 0)
            firstBack = clock.elapsed();
        QCOMPARE(received, sent);
        QVERIFY2(firstBack >= 2 * oneWay, qPrintable(QString::number(firstBack)));
    }
};

QTEST_GUILESS_MAIN(TestDelayProxy)
#include "tst_delayproxy.moc"
