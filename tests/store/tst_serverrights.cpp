// On a server the server keeps the rights: an operator holding one right,
// connected with libpq alone, can do what that right's windows need and is
// refused the rest; the lobby reads the operator names only; passwords are the
// roles' (changed, refused, gone with the operator); the kept statistics stay
// right when a clerk without rights on them saves tickets.
#include "store/serverroles.h"
#include "support/testdatabase.h"

#include <QtTest>
#include <libpq-fe.h>

namespace {
const QStringList kRights = {"编码设置", "客户登记", "积分转让", "客户积分查询", "航空公司出票统计", "个人出票统计",
                             "航线出票统计", "会员行程查询", "时段收入查询", "操作员设置", "操作员日志", "数据备份"};
}

class ServerRightsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<ServerDatabase> m_db;
    Connection m_owner;
    QMap<QString, std::shared_ptr<PGconn>> m_as; // a right (its operator "p<n>") or the lobby

    std::shared_ptr<PGconn> connectAs(const QString &role, const QString &password)
    {
        const QByteArray uri = ServerRoles::withUser(m_db->uri(), role).toUtf8(), pw = password.toUtf8();
        const char *keys[] = {"dbname", "password", nullptr}, *values[] = {uri.constData(), pw.constData(), nullptr};
        return {PQconnectdbParams(keys, values, 1), PQfinish};
    }
    // Whether the statement ran (then undone); a failure other than a refused privilege fails the test.
    bool runs(PGconn *c, const QString &sql)
    {
        PQclear(PQexec(c, "BEGIN"));
        PGresult *r = PQexec(c, sql.toUtf8().constData());
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
        if (!ok && QByteArray(PQresultErrorField(r, PG_DIAG_SQLSTATE)) != "42501")
            qFatal("%s: %s", qPrintable(sql), PQresultErrorMessage(r));
        PQclear(r);
        PQclear(PQexec(c, "ROLLBACK"));
        return ok;
    }

private slots:
    void initTestCase()
    {
        qputenv("TORVANE_TEST_ENGINE", "postgres");
        m_db = std::make_unique<ServerDatabase>();
        DatabaseCreator::createDemo(m_db->uri(), {20, 60});
        m_owner.openLocation(m_db->uri());
        for (int i = 0; i < kRights.size(); ++i) {
            const QString name = QStringLiteral("p%1").arg(i);
            m_owner.execute(QStringLiteral("insert into czyzd(czy_name) values(?)"), {name});
            m_owner.execute(QStringLiteral("insert into czy(name,czy_id,nr) values(?,0,?)"), {name, kRights[i]});
            ServerRoles::setPassword(m_owner, name, name + QStringLiteral(" pw"));
            m_as[kRights[i]] = connectAs(ServerRoles::roleOf(m_owner, name), name + QStringLiteral(" pw"));
        }
        const QString lobby = m_owner.scalar(QStringLiteral("select torvane_role_name('group', 'lobby')")).toString();
        m_as[QStringLiteral("lobby")] = connectAs(lobby, lobby);
        for (const auto &c : std::as_const(m_as))
            QVERIFY2(PQstatus(c.get()) == CONNECTION_OK, PQerrorMessage(c.get()));
    }

    void privileges_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QStringList>("allowed");
        QFile table(QStringLiteral(TORVANE_RIGHTS_TABLE));
        QVERIFY(table.open(QIODevice::ReadOnly | QIODevice::Text));
        for (const QString &line : QString::fromUtf8(table.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QLatin1Char('\t'));
            if (!line.startsWith(QLatin1Char('#')))
                QTest::newRow(qPrintable(f[0])) << f[2] << QString(f[1]).replace(QLatin1String("*"), kRights.join(QLatin1Char(','))).split(QLatin1Char(','));
        }
    }
    void privileges()
    {
        QFETCH(QString, sql);
        QFETCH(QStringList, allowed);
        for (auto it = m_as.cbegin(); it != m_as.cend(); ++it)
            QVERIFY2(runs(it.value().get(), sql) == allowed.contains(it.key()), qPrintable(it.key()));
    }

    void keptStatisticsForAClerk()
    {
        PQclear(PQexec(m_as["客户登记"].get(), "insert into hyxc(kh,cprq,hangkong,dpy,kaishi,daoda,zs,amount1,jifen,jifenyue) values"
                                        "('8800000001','1999-05-01','CA','刘','京','沪',2,800,5,5); update hyxc set zs = 3 where cprq = '1999-05-01'"));
        for (const char *kept : {"sumhangkong", "sumgeren", "sumdaoda"})
            QCOMPARE(m_owner.scalar(QStringLiteral("select sum(tickets) from %1").arg(kept)).toInt(),
                     m_owner.scalar(QStringLiteral("select count(*) from hyxc where zt is null or zt='正常'")).toInt());
        QCOMPARE(m_owner.scalar(QStringLiteral("select sum(zsofsum) from sumhangkong where cprq='1999-05-01'")).toInt(), 3);
        QCOMPARE(m_owner.scalar(QStringLiteral("select jifen from sumkh where kh='8800000001'")),
                 m_owner.scalar(QStringLiteral("select sum(jifen) from hyxc where kh='8800000001'")));
    }

    void passwords()
    {
        using A = ServerRoles::Answer;
        QCOMPARE(m_owner.scalar(QStringLiteral("select count(czy_pass) from czyzd")).toInt(), 0);
        // Changed by the operator itself: the new one works, the old one no longer.
        const QString clerk = ServerRoles::withUser(m_db->uri(), ServerRoles::roleOf(m_owner, "王芳"));
        Connection own;
        ServerRoles::rememberPassword(clerk, "wf1234");
        own.openLocation(clerk);
        ServerRoles::setPassword(own, "王芳", "new pass");
        QCOMPARE(ServerRoles::tryPassword(clerk, "new pass"), A::Accepted);
        QCOMPARE(ServerRoles::tryPassword(clerk, "wf1234"), A::Refused);
        QVERIFY_THROWS_EXCEPTION(DbException, ServerRoles::setPassword(own, "admin", "mine now"));
        // A deleted operator's role goes with the account.
        m_owner.execute(QStringLiteral("delete from czyzd where czy_name='王芳'"));
        QCOMPARE(ServerRoles::tryPassword(clerk, "new pass"), A::Refused);
    }

    // Roles set up by a version that granted otherwise are granted anew when the owner opens the archive.
    void olderGrantsRenewed()
    {
        PGconn *clerk = m_as["客户登记"].get();
        m_owner.executeScript(QStringLiteral("DO $$ BEGIN "
                                             "EXECUTE format('REVOKE SELECT ON hyda FROM %I', torvane_role_name('group', '客户登记')); "
                                             "EXECUTE format('COMMENT ON ROLE %I IS NULL', torvane_role_name('group', 'lobby')); "
                                             "END $$;"));
        QVERIFY(!runs(clerk, QStringLiteral("select * from hyda")));
        Connection reopened;
        reopened.openLocation(m_db->uri());
        QVERIFY(runs(clerk, QStringLiteral("select * from hyda")));
    }
};

QTEST_GUILESS_MAIN(ServerRightsTest)
#include "tst_serverrights.moc"
