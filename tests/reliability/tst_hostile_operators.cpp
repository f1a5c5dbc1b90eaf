// Hostile text through the operator windows: account names and passwords, the
// rights of an account so named, its password change, the log viewer's name
// search and the login. Every value is stored and read back exactly (a
// password as a hash) or refused with the window's own message.
#include "operators/frm_czy_password.h"
#include "operators/frm_czyrz.h"
#include "operators/frm_czyset.h"
#include "shell/frmlogin.h"
#include "store/passwordhash.h"
#include "store/recordset.h"
#include "support/hostile.h"
#include "support/windowload.h"

#include <QComboBox>
#include <QListWidget>

using namespace Hostile;

class HostileOperatorsTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void operators_data();
    void operators();

private:
    void account(const QString &name, const QString &password, const QString &confirm);

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<Frm_czyset> m_accounts;
    QString m_place;
    int m_serial = 0;
    MessageLog m_messages;
    FakeDialogs m_dialogs;
};

// Every place has a file of its own in which each input (and its look-alikes,
// which hold a right and a log entry already) names an account whose password is its name.
void HostileOperatorsTest::init()
{
    const QString place = QString::fromUtf8(QTest::currentDataTag()).section(QLatin1Char(' '), 0, 0);
    if (place != m_place) {
        m_accounts.reset();
        m_f = std::make_unique<Fixture>();
        m_place = place;
        if (place != QLatin1String("name") && place != QLatin1String("password")) {
            for (const Input &in : inputs())
                for (const QString &name : lookAlikes(in.text) + QStringList{in.text}) {
                    if (name.isEmpty() || m_f->number(QStringLiteral("select count(*) from czyzd where czy_name=?1"), {name}))
                        continue;
                    const qint64 no = m_f->write(QStringLiteral("insert into czyzd(czy_name, czy_pass, sys_tag) values(?1, ?1, 0)"), {name});
                    if (name != in.text)
                        m_f->write(QStringLiteral("insert into czy(name, czy_id, nr) values(?1, ?2, '客户登记')"), {name, no});
                    m_f->state.setCurrentOperator(name);
                    loaded(*std::make_unique<Frm_czyrz>(m_f->state)).close();
                }
            m_f->state.setCurrentOperator(QStringLiteral("admin"));
        }
        m_accounts = std::make_unique<Frm_czyset>(m_f->state);
        loaded(*m_accounts);
    }
    m_messages.clear();
}

void HostileOperatorsTest::operators_data()
{
    addRows({"name", "password", "rights", "change", "log", "login"});
}

void HostileOperatorsTest::account(const QString &name, const QString &password, const QString &confirm)
{
    press(*m_accounts, QStringLiteral("new"));
    paste(*m_accounts, QStringLiteral("Text1"), name);
    paste(*m_accounts, QStringLiteral("Text2"), password);
    paste(*m_accounts, QStringLiteral("Text3"), confirm);
    press(*m_accounts, QStringLiteral("save"));
}

void HostileOperatorsTest::operators()
{
    QFETCH(QString, place);
    QFETCH(QString, text);
    Fixture &f = *m_f;
    Frm_czyset &w = *m_accounts;
    const qint64 last = f.number(QStringLiteral("select max(czy_no) from czyzd"));
    const QString others = QStringLiteral("select * from czyzd, czy where czy_name<>?1 and name<>?1 and czy_no<=?2");
    const QByteArray othersBefore = f.digest(others, {text, last});
    const QString added = QStringLiteral("select czy_name, czy_pass from czyzd where czy_no > ?1");
    Guard guard(f, m_messages, place == QLatin1String("log") ? QStringList() : QStringList{"czyzd", "czy"});

    if (place == QLatin1String("name") || place == QLatin1String("password")) {
        const QString name = place == QLatin1String("name") ? text : QStringLiteral("P%1").arg(++m_serial);
        const QString password = place == QLatin1String("name") ? QStringLiteral("pw") : text;
        // An empty name or password saves nothing, without a word; a mistyped confirmation is refused.
        if (place == QLatin1String("password")) {
            account(name, password, password + QStringLiteral("!"));
            QCOMPARE(summary(m_messages), text.isEmpty() ? QStringLiteral("(no message)") : QStringLiteral("口令输入不一致，请重新输入"));
            m_messages.clear();
        }
        account(name, password, password);
        QCOMPARE(summary(m_messages), text.isEmpty() ? QStringLiteral("(no message)") : QStringLiteral("操作员增加完成。"));
        const QList<QVariantList> rows = f.rows(added, {last});
        QCOMPARE(rows.size(), text.isEmpty() ? 0 : 1);
        if (!rows.isEmpty()) {
            QCOMPARE(rows.first().at(0), QVariant(name));
            QVERIFY(PasswordHash::isHash(rows.first().at(1)));
            QVERIFY(place == QLatin1String("name") || PasswordHash::matches(rows.first().at(1), password));
        }
        if (!rows.isEmpty() && place == QLatin1String("name")) {
            m_messages.clear();
            account(name, QStringLiteral("pw"), QStringLiteral("pw")); // the same name again is a duplicate
            QCOMPARE(summary(m_messages), QStringLiteral("操作员姓名重复，请重新输入。"));
            QCOMPARE(f.rows(added, {last}).size(), 1);
        }
    } else if (place == QLatin1String("rights")) {
        auto *combo = control<QComboBox>(w, QStringLiteral("combczy"));
        auto *functions = control<QListWidget>(w, QStringLiteral("ListView1"));
        combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        QCOMPARE(combo->currentText(), text);
        if (!text.isEmpty())
            w.CzyqxStar();
        for (int i = 0; i < functions->count(); ++i)
            functions->item(i)->setCheckState(i == 0 || i == 2 ? Qt::Checked : Qt::Unchecked);
        press(w, QStringLiteral("save"));
        QCOMPARE(summary(m_messages), text.isEmpty() ? QStringLiteral("操作员“”不存在，权限未保存。") : QStringLiteral("操作员权限修改完成。"));
        if (text.isEmpty()) {
            QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
            return;
        }
        const qint64 no = f.number(QStringLiteral("select czy_no from czyzd where czy_name=?1"), {text});
        QCOMPARE(f.rows(QStringLiteral("select name, czy_id, nr from czy where name=?1 order by rowid"), {text}),
                 (QList<QVariantList>{{text, no, functions->item(0)->text()}, {text, no, functions->item(2)->text()}}));
        // Read back: choosing the operator again ticks exactly those two.
        functions->item(0)->setCheckState(Qt::Unchecked);
        w.CzyqxStar();
        for (int i = 0; i < functions->count(); ++i)
            QCOMPARE(functions->item(i)->checkState(), i == 0 || i == 2 ? Qt::Checked : Qt::Unchecked);
        // Deleting the account takes its rights and nothing else.
        Recordset *accounts = w.accounts();
        accounts->moveFirst();
        QVERIFY(accounts->find(QStringLiteral("czy_no=%1").arg(no)));
        press(w, QStringLiteral("delete"));
        QCOMPARE(f.number(QStringLiteral("select count(*) from czyzd, czy where czy_name=?1 or name=?1"), {text}), 0);
    } else if (place == QLatin1String("change")) {
        f.state.setCurrentOperator(text);
        frm_czy_password change(f.state);
        QCOMPARE(change.load(), !text.isEmpty());
        if (text.isEmpty()) {
            QVERIFY2(m_messages.count() == 1 && m_messages.shown().at(0).text == QStringLiteral("找不到操作员''的帐号，不能变更口令。")
                                && m_messages.shown().at(0).title == QStringLiteral("口令变更"), qPrintable(summary(m_messages)));
            return;
        }
        paste(change, QStringLiteral("Txt_password_0"), text);
        paste(change, QStringLiteral("Txt_password_1"), QStringLiteral("new1"));
        paste(change, QStringLiteral("Txt_password_2"), QStringLiteral("new1"));
        change.last_password();
        QCOMPARE(summary(m_messages), QStringLiteral("变更口令成功，按任意键返回！"));
        // Seeded in clear, the operator's own row now holds a hash; no other row changed (below).
        QVERIFY(PasswordHash::isHash(f.value(QStringLiteral("select czy_pass from czyzd where czy_name=?1"), {text})));
    } else if (place == QLatin1String("log")) {
        Frm_czyrz viewer(f.state);
        loaded(viewer);
        const Guard unchanged(f, m_messages, {});
        paste(viewer, QStringLiteral("txtname"), text);
        press(viewer, QStringLiteral("find"));
        QVERIFY2(m_messages.count() == 0, qPrintable(summary(m_messages)));
        const Recordset *listed = viewer.recordset();
        QCOMPARE(qint64(listed->recordCount()),
                 f.number(QStringLiteral("select count(*) from czyrz where last_time is not null and (czyname=?1 or ?1='')"), {text}));
        if (!text.isEmpty()) {
            QCOMPARE(listed->recordCount(), 1);
            QCOMPARE(listed->valueAt(0, 1).toString(), text);
            QCOMPARE(listed->valueAt(0, 2).toString(), QStringLiteral("操作员日志"));
        }
        QVERIFY2(unchanged.problems().isEmpty(), qPrintable(unchanged.problems()));
        return;
    } else { // login: a wrong password, then the right one
        f.state.setCurrentOperator(QString());
        frmLogin login(f.state, nullptr);
        loaded(login);
        control<QComboBox>(login, QStringLiteral("combname"))->setCurrentText(text);
        paste(login, QStringLiteral("txtPassword"), text + QStringLiteral("!"));
        login.cmdOK_Click();
        QCOMPARE(summary(m_messages), QStringLiteral("口令错误!"));
        m_messages.clear();
        paste(login, QStringLiteral("txtPassword"), text);
        login.cmdOK_Click();
        // No operator has an empty name: refused like a wrong password.
        QCOMPARE(summary(m_messages), text.isEmpty() ? QStringLiteral("口令错误!") : QStringLiteral("(no message)"));
        QCOMPARE(login.result(), int(text.isEmpty() ? QDialog::Rejected : QDialog::Accepted));
        QCOMPARE(f.state.currentOperator(), text);
        // A password kept in clear is hashed at the first login, in the operator's own row.
        QVERIFY(text.isEmpty() || PasswordHash::isHash(f.value(QStringLiteral("select czy_pass from czyzd where czy_name=?1"), {text})));
    }
    QCOMPARE(f.digest(others, {text, last}), othersBefore);
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
}

QTEST_MAIN(HostileOperatorsTest)
#include "tst_hostile_operators.moc"
