// Hostile text through the operator windows: account names and passwords,
// rights of an account with such a name, the password change of an operator
// with such a name, the log viewer's name search and the login. Every value is
// stored and read back exactly (a password as the hash that matches it) or
// refused with the window's own message.

#include "support/windowload.h"
#include "hostilesupport.h"
#include "operators/frm_czy_password.h"
#include "operators/frm_czyrz.h"
#include "operators/frm_czyset.h"
#include "shell/frmlogin.h"
#include "store/passwordhash.h"
#include "store/recordset.h"

#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QLineEdit>
#include <sodium.h>

using namespace Hostile;

namespace {

const QString kPasswordTitle = QStringLiteral("口令变更");

// A hash as the program reads it, made at the library's lowest limits: the
// program's own are slow on purpose, too slow to seed dozens of accounts.
QString quickHash(const QString &password)
{
    const QByteArray bytes = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (sodium_init() < 0
        || crypto_pwhash_str(out, bytes.constData(), static_cast<unsigned long long>(bytes.size()),
                             crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN)
               != 0)
        qFatal("cannot hash a password");
    return QString::fromLatin1(out);
}

qint64 addAccount(sqlite3 *db, const QString &name, const QVariant &password)
{
    return write(db, QStringLiteral("insert into czyzd(czy_name, czy_pass, sys_tag) values(?1, ?2, 0)"),
                 {name, password});
}

} // namespace

class HostileOperatorsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void accountName_data();
    void accountName();
    void accountPassword_data();
    void accountPassword();
    void rights_data();
    void rights();
    void passwordOfOperator_data();
    void passwordOfOperator();
    void logViewerName_data();
    void logViewerName();
    void login_data();
    void login();

private:
    void stage();
    void checkNoEngineError();

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<Frm_czyset> m_accounts;
    std::unique_ptr<Frm_czyrz> m_viewer;
    QString m_stagedFor;
    bool m_seeded = false;
    int m_serial = 0;
    Messages m_messages;
    NoDialogs m_dialogs;
};

void HostileOperatorsTest::init()
{
    stage();
    m_messages.clear();
}

void HostileOperatorsTest::stage()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (function == m_stagedFor)
        return;
    m_viewer.reset();
    m_accounts.reset();
    m_f = std::make_unique<Fixture>();
    m_stagedFor = function;
    m_seeded = false;
}

void HostileOperatorsTest::cleanupTestCase()
{
    m_viewer.reset();
    m_accounts.reset();
    m_f.reset();
}

void HostileOperatorsTest::checkNoEngineError()
{
    const QString leaked = engineErrorIn(m_messages.texts());
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked));
}

void HostileOperatorsTest::accountName_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileOperatorsTest::accountName()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_accounts) {
        m_accounts = std::make_unique<Frm_czyset>(m_f->state);
        loaded(*m_accounts);
    }
    Frm_czyset &w = *m_accounts;
    const Snapshot before = snapshot(db);
    const qint64 last = number(db, QStringLiteral("select max(czy_no) from czyzd"));

    press(w, QStringLiteral("new"));
    QVERIFY(w.adding());
    paste(lineEdit(w, QStringLiteral("Text1")), text);
    paste(lineEdit(w, QStringLiteral("Text2")), QStringLiteral("pw"));
    paste(lineEdit(w, QStringLiteral("Text3")), QStringLiteral("pw"));
    press(w, QStringLiteral("save"));
    checkNoEngineError();

    const QList<QVariantList> added =
        rows(db, QStringLiteral("select czy_name, czy_pass, sys_tag from czyzd where czy_no > ?1"), {last});
    if (text.isEmpty()) {
        // An empty name is not saved, and (as the window always did) without a word.
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QVERIFY(w.adding());
        QCOMPARE(added.size(), 0);
        const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("操作员增加完成。"));
    QVERIFY(!w.adding());
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().at(0).typeId(), QMetaType::QString);
    QCOMPARE(added.first().at(0).toString(), text);
    QVERIFY(PasswordHash::isHash(added.first().at(1)));
    QCOMPARE(added.first().at(2).toLongLong(), 0);

    // The same name again is a duplicate.
    m_messages.clear();
    press(w, QStringLiteral("new"));
    paste(lineEdit(w, QStringLiteral("Text1")), text);
    paste(lineEdit(w, QStringLiteral("Text2")), QStringLiteral("pw"));
    paste(lineEdit(w, QStringLiteral("Text3")), QStringLiteral("pw"));
    press(w, QStringLiteral("save"));
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("操作员姓名重复，请重新输入。"));
    QCOMPARE(number(db, QStringLiteral("select count(*) from czyzd where czy_no > ?1"), {last}), 1);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyzd"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileOperatorsTest::accountPassword_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileOperatorsTest::accountPassword()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_accounts) {
        m_accounts = std::make_unique<Frm_czyset>(m_f->state);
        loaded(*m_accounts);
    }
    Frm_czyset &w = *m_accounts;
    const Snapshot before = snapshot(db);
    const qint64 last = number(db, QStringLiteral("select max(czy_no) from czyzd"));
    const QString name = QStringLiteral("P%1").arg(++m_serial);

    press(w, QStringLiteral("new"));
    paste(lineEdit(w, QStringLiteral("Text1")), name);
    paste(lineEdit(w, QStringLiteral("Text2")), text);
    paste(lineEdit(w, QStringLiteral("Text3")), text + QStringLiteral("!"));
    press(w, QStringLiteral("save"));
    checkNoEngineError();
    QCOMPARE(number(db, QStringLiteral("select count(*) from czyzd where czy_no > ?1"), {last}), 0);
    if (text.isEmpty()) {
        // No password, no account, and no message.
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("口令输入不一致，请重新输入"));

    m_messages.clear();
    paste(lineEdit(w, QStringLiteral("Text3")), text);
    press(w, QStringLiteral("save"));
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("操作员增加完成。"));
    const QList<QVariantList> added =
        rows(db, QStringLiteral("select czy_name, czy_pass from czyzd where czy_no > ?1"), {last});
    QCOMPARE(added.size(), 1);
    QCOMPARE(added.first().at(0).toString(), name);
    QCOMPARE(added.first().at(1).typeId(), QMetaType::QString);
    QVERIFY(PasswordHash::isHash(added.first().at(1)));
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyzd"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileOperatorsTest::rights_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileOperatorsTest::rights()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_seeded) {
        // Accounts named by every input, and look-alike accounts that already hold a right.
        for (const Input &in : inputs()) {
            if (in.text.isEmpty())
                continue;
            addAccount(db, in.text, QStringLiteral("pw"));
            for (const QString &alike : lookAlikes(in.text)) {
                if (isInput(alike) || number(db, QStringLiteral("select count(*) from czyzd where czy_name=?1"), {alike}))
                    continue;
                const qint64 no = addAccount(db, alike, QStringLiteral("pw"));
                write(db, QStringLiteral("insert into czy(name, czy_id, nr) values(?1, ?2, '客户登记')"), {alike, no});
            }
        }
        m_seeded = true;
    }
    // The window reads the accounts when it opens.
    Frm_czyset w(m_f->state);
    loaded(w);
    auto *combo = w.findChild<QComboBox *>(QStringLiteral("combczy"));
    auto *functions = w.findChild<QListWidget *>(QStringLiteral("ListView1"));
    QVERIFY(combo && functions);
    const Snapshot before = snapshot(db);

    if (text.isEmpty()) {
        combo->setCurrentIndex(-1);
        press(w, QStringLiteral("save"));
        checkNoEngineError();
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, QStringLiteral("操作员“”不存在，权限未保存。"));
        const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
        QVERIFY2(changed.isEmpty(), qPrintable(changed));
        return;
    }

    const int at = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    QVERIFY(at >= 0);
    combo->setCurrentIndex(at);
    w.CzyqxStar();
    for (int i = 0; i < functions->count(); ++i)
        QCOMPARE(functions->item(i)->checkState(), Qt::Unchecked);
    functions->item(0)->setCheckState(Qt::Checked);
    functions->item(2)->setCheckState(Qt::Checked);
    const QString othersSql = QStringLiteral("select * from czy where name<>?1 order by rowid");
    const QByteArray others = digest(db, othersSql, {text});
    press(w, QStringLiteral("save"));
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("操作员权限修改完成。"));

    const qint64 no = number(db, QStringLiteral("select czy_no from czyzd where czy_name=?1"), {text});
    const QList<QVariantList> granted =
        rows(db, QStringLiteral("select name, czy_id, nr from czy where name=?1 order by rowid"), {text});
    QCOMPARE(granted.size(), 2);
    QCOMPARE(granted.at(0).at(0).toString(), text);
    QCOMPARE(granted.at(1).at(0).toString(), text);
    QCOMPARE(granted.at(0).at(1).toLongLong(), no);
    QCOMPARE(granted.at(0).at(2).toString(), functions->item(0)->text());
    QCOMPARE(granted.at(1).at(2).toString(), functions->item(2)->text());
    QCOMPARE(digest(db, othersSql, {text}), others);

    // Read back into the window: choosing the operator again ticks exactly those two.
    for (int i = 0; i < functions->count(); ++i)
        functions->item(i)->setCheckState(Qt::Unchecked);
    w.CzyqxStar();
    for (int i = 0; i < functions->count(); ++i)
        QCOMPARE(functions->item(i)->checkState(), i == 0 || i == 2 ? Qt::Checked : Qt::Unchecked);

    // Deleting the account takes its rights and nothing else.
    Recordset *accounts = w.accounts();
    const int nameColumn = accounts->fieldIndex(QStringLiteral("czy_name"));
    int row = -1;
    for (int i = 0; i < accounts->recordCount(); ++i)
        if (accounts->valueAt(i, nameColumn).toString() == text)
            row = i;
    QVERIFY(row >= 0);
    accounts->moveTo(row);
    const QString othersAccounts = QStringLiteral("select * from czyzd where czy_no<>?1 order by czy_no");
    const QByteArray accountsBefore = digest(db, othersAccounts, {no});
    m_messages.clear();
    press(w, QStringLiteral("delete"));
    checkNoEngineError();
    QCOMPARE(number(db, QStringLiteral("select count(*) from czyzd where czy_no=?1"), {no}), 0);
    QCOMPARE(number(db, QStringLiteral("select count(*) from czy where name=?1"), {text}), 0);
    QCOMPARE(digest(db, othersSql, {text}), others);
    QCOMPARE(digest(db, othersAccounts, {no}), accountsBefore);
    const QString changed =
        changedBesides(before, snapshot(db), {QStringLiteral("czy"), QStringLiteral("czyzd"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileOperatorsTest::passwordOfOperator_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileOperatorsTest::passwordOfOperator()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_seeded) {
        for (const Input &in : inputs())
            if (!in.text.isEmpty())
                addAccount(db, in.text, QStringLiteral("old"));
        m_seeded = true;
    }
    m_f->state.setCurrentOperator(text);
    const Snapshot before = snapshot(db);
    const qint64 no = number(db, QStringLiteral("select czy_no from czyzd where czy_name=?1"), {text});
    const QString othersSql = QStringLiteral("select * from czyzd where czy_no<>?1 order by czy_no");
    const QByteArray others = digest(db, othersSql, {no});
    {
        frm_czy_password w(m_f->state);
        const bool hasAccount = w.load();
        checkNoEngineError();
        if (text.isEmpty()) {
            QVERIFY(!hasAccount);
            QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
            QCOMPARE(m_messages.at(0).text, QStringLiteral("找不到操作员''的帐号，不能变更口令。"));
            QCOMPARE(m_messages.at(0).title, kPasswordTitle);
            const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyrz")});
            QVERIFY2(changed.isEmpty(), qPrintable(changed));
            return;
        }
        QVERIFY2(hasAccount, qPrintable(m_messages.summary()));
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        // Confirming checks the old password again, whatever the boxes' focus did.
        paste(lineEdit(w, QStringLiteral("Txt_password_0")), QStringLiteral("old"));
        paste(lineEdit(w, QStringLiteral("Txt_password_1")), QStringLiteral("new1"));
        paste(lineEdit(w, QStringLiteral("Txt_password_2")), QStringLiteral("new1"));
        w.last_password();
        checkNoEngineError();
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, QStringLiteral("变更口令成功，按任意键返回！"));
    }
    // The operator's own row took the new password (seeded in clear, now a hash), no other.
    QVERIFY(PasswordHash::isHash(value(db, QStringLiteral("select czy_pass from czyzd where czy_no=?1"), {no})));
    QCOMPARE(digest(db, othersSql, {no}), others);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("czyzd"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileOperatorsTest::logViewerName_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileOperatorsTest::logViewerName()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_viewer) {
        // Every input, and the look-alikes, as an operator who opened and closed the log viewer.
        QStringList names;
        for (const Input &in : inputs()) {
            if (in.text.isEmpty())
                continue;
            names << in.text;
            for (const QString &alike : lookAlikes(in.text))
                if (!isInput(alike) && !names.contains(alike))
                    names << alike;
        }
        for (const QString &name : names) {
            m_f->state.setCurrentOperator(name);
            Frm_czyrz once(m_f->state);
            loaded(once);
            once.close();
        }
        m_f->state.setCurrentOperator(QStringLiteral("admin"));
        m_viewer = std::make_unique<Frm_czyrz>(m_f->state);
        loaded(*m_viewer);
        m_messages.clear();
    }
    Frm_czyrz &w = *m_viewer;
    const Snapshot before = snapshot(db);
    paste(lineEdit(w, QStringLiteral("txtname")), text);
    press(w, QStringLiteral("find"));
    checkNoEngineError();
    QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));

    Recordset *listed = w.recordset();
    if (text.isEmpty()) {
        QCOMPARE(qint64(listed->recordCount()),
                 number(db, QStringLiteral("select count(*) from czyrz where last_time is not null")));
    } else {
        QCOMPARE(listed->recordCount(), 1);
        QCOMPARE(listed->valueAt(0, 1).toString(), text);
        QCOMPARE(listed->valueAt(0, 2).toString(), QStringLiteral("操作员日志"));
    }
    const QString changed = changedBesides(before, snapshot(db), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileOperatorsTest::login_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileOperatorsTest::login()
{
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_seeded) {
        for (const Input &in : inputs()) {
            if (in.text.isEmpty())
                continue;
            addAccount(db, in.text, quickHash(in.text));
            for (const QString &alike : lookAlikes(in.text))
                if (!isInput(alike) && !number(db, QStringLiteral("select count(*) from czyzd where czy_name=?1"), {alike}))
                    addAccount(db, alike, quickHash(alike));
        }
        m_seeded = true;
    }
    m_f->state.setCurrentOperator(QString());
    const Snapshot before = snapshot(db);
    frmLogin login(m_f->state, nullptr);
    loaded(login);
    auto *name = login.findChild<QComboBox *>(QStringLiteral("combname"));
    QVERIFY(name);
    name->setCurrentText(text);
    paste(lineEdit(login, QStringLiteral("txtPassword")), text + QStringLiteral("!"));
    login.cmdOK_Click();
    checkNoEngineError();
    QCOMPARE(login.result(), int(QDialog::Rejected));
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("口令错误!"));

    m_messages.clear();
    paste(lineEdit(login, QStringLiteral("txtPassword")), text);
    login.cmdOK_Click();
    checkNoEngineError();
    if (text.isEmpty()) {
        // No such operator: refused like a wrong password.
        QCOMPARE(login.result(), int(QDialog::Rejected));
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, QStringLiteral("口令错误!"));
        QCOMPARE(m_f->state.currentOperator(), QString());
    } else {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(login.result(), int(QDialog::Accepted));
        QCOMPARE(m_f->state.currentOperator(), text);
    }
    const QString changed = changedBesides(before, snapshot(db), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

QTEST_MAIN(HostileOperatorsTest)
#include "tst_hostile_operators.moc"
