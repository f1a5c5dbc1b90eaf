// The operator windows as an operator uses them: the password window by
// keyboard alone and its three strikes, the log viewer's find by any day and
// its delete, and rights saved for all twelve functions, seen at the next login.
#include "operators/frm_czy_password.h"
#include "operators/frm_czyrz.h"
#include "operators/frm_czyset.h"
#include "shell/appstate.h"
#include "shell/form_main.h"
#include "shell/rights.h"
#include "store/recordset.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"
#include "support/windowload.h"
#include "ui/boundgrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class OperatorWindowsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void passwordByKeyboardAlone();
    void threeWrongOldPasswordsClose();
    void logFindsAnyDay_data();
    void logFindsAnyDay();
    void logDeleteSparesOpenEntries();
    void allRightsSeenAtNextLogin();

private:
    QStringList texts() const { return m_messages->texts(); }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<MessageLog> m_messages;
};

void OperatorWindowsTest::init()
{
    m_db = std::make_unique<TestDatabase>();
    m_state = std::make_unique<AppState>();
    m_state->connection().open(Connection::connectionText(m_db->folder(), m_db->fileName()));
    m_state->setCurrentOperator(QStringLiteral("王芳"));
    m_messages = std::make_unique<MessageLog>();
}

void OperatorWindowsTest::cleanup()
{
    m_state.reset();
    m_db.reset();
    m_messages.reset();
}

void OperatorWindowsTest::passwordByKeyboardAlone()
{
    frm_czy_password w(*m_state);
    loaded(w);
    w.show();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    const QString before = m_db->scalar(QStringLiteral("select czy_pass from czyzd where czy_name='王芳'")).toString();
    for (const char *typed : {"wf1234", "neu", "neu"}) {
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(typed));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    }
    // Enter in the last box puts the focus on the confirm button; Enter there confirms.
    auto *confirm = w.findChild<QPushButton *>(QStringLiteral("com_password_0"));
    QVERIFY(confirm->hasFocus() && confirm->isEnabled());
    QTest::keyClick(confirm, Qt::Key_Return);
    QCOMPARE(texts(), QStringList{QStringLiteral("变更口令成功，按任意键返回！")});
    QCOMPARE(w.result(), int(QDialog::Accepted));
    QVERIFY(m_db->scalar(QStringLiteral("select czy_pass from czyzd where czy_name='王芳'")).toString() != before);
}

void OperatorWindowsTest::threeWrongOldPasswordsClose()
{
    frm_czy_password w(*m_state);
    loaded(w);
    w.show();
    const QVariant before = m_db->scalar(QStringLiteral("select czy_pass from czyzd where czy_name='王芳'"));
    QSignalSpy rejected(&w, &QDialog::rejected);
    auto *old = w.findChild<QLineEdit *>(QStringLiteral("Txt_password_0"));
    for (int i = 0; i < 3; ++i) {
        old->setText(QStringLiteral("wrong%1").arg(i));
        w.init_password();
    }
    QCOMPARE(texts(), (QStringList{QStringLiteral("输入原口令不正确,请重新输入!"), QStringLiteral("输入原口令不正确,请重新输入!"),
                                   QStringLiteral("对不起,您无权变更操作员'王芳'的口令!")}));
    QVERIFY(rejected.wait(1000));
    QCOMPARE(m_db->scalar(QStringLiteral("select czy_pass from czyzd where czy_name='王芳'")), before);
}

void OperatorWindowsTest::logFindsAnyDay_data()
{
    QTest::addColumn<bool>("byDate");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("found");
    // Without a date every closed entry is listed; 2000-01-01 is a day like any other.
    QTest::newRow("no date") << false << QDate(2000, 1, 1) << "" << 3;
    QTest::newRow("first day of 2000") << true << QDate(2000, 1, 1) << "" << 2;
    QTest::newRow("that day and a name") << true << QDate(2000, 1, 1) << "王芳" << 1;
    QTest::newRow("a day without entries") << true << QDate(2001, 1, 1) << "" << 0;
}

void OperatorWindowsTest::logFindsAnyDay()
{
    QFETCH(bool, byDate);
    QFETCH(QDate, day);
    QFETCH(QString, name);
    QFETCH(int, found);
    m_db->connection().executeScript(QStringLiteral(
        "insert into czyrz(czyname,czyxm,init_time,last_time) values"
        "('王芳','客户档案','2000-01-01 09:00:00','2000-01-01 10:00:00'),"
        "('admin','编码设置','2000-01-01 23:59:59','2000-01-02 00:10:00'),"
        "('王芳','客户档案','2024-05-06 09:00:00','2024-05-06 09:30:00')"));
    Frm_czyrz w(*m_state);
    loaded(w);
    w.findChild<QCheckBox *>(QStringLiteral("chkkssj"))->setChecked(byDate);
    w.findChild<QDateEdit *>(QStringLiteral("txtkssj"))->setDate(day);
    w.findChild<QLineEdit *>(QStringLiteral("txtname"))->setText(name);
    w.toolbarClicked(QStringLiteral("find"));
    QCOMPARE(w.recordset()->recordCount(), found);
}

void OperatorWindowsTest::logDeleteSparesOpenEntries()
{
    m_db->connection().executeScript(QStringLiteral(
        "insert into czyrz(czyname,czyxm,init_time,last_time) values('王芳','客户档案','2024-05-06 09:00:00','2024-05-06 09:30:00');"
        "insert into czyrz(czyname,czyxm) values('admin','编码设置')"));
    Frm_czyrz w(*m_state);
    loaded(w);
    w.toolbarClicked(QStringLiteral("delete"));
    QCOMPARE(texts(), QStringList{QStringLiteral("确认删除所有日志吗?")});
    // The viewer's own entry and the other window's are still open.
    QCOMPARE(m_db->count(QStringLiteral("czyrz where last_time is not null")), 0);
    QCOMPARE(m_db->count(QStringLiteral("czyrz where last_time is null")), 2);
    QCOMPARE(w.recordset()->recordCount(), 0);
}

void OperatorWindowsTest::allRightsSeenAtNextLogin()
{
    {
        Frm_czyset w(*m_state);
        loaded(w);
        w.findChild<QComboBox *>(QStringLiteral("combczy"))->setCurrentText(QStringLiteral("王芳"));
        w.findChild<QCheckBox *>(QStringLiteral("Check1"))->click();
        w.toolbarClicked(QStringLiteral("save"));
        QCOMPARE(texts(), QStringList{QStringLiteral("操作员权限修改完成。")});
    }
    QCOMPARE(m_db->count(QStringLiteral("czy where name='王芳'")), 12);
    form_main main(*m_state);
    Rights::mCzyqx(m_state->connection(), &main, QStringLiteral("王芳"));
    for (const QString &action : Rights::controlledActions()) {
        QAction *a = main.action(action);
        a->setVisible(true); // a hidden action reads as disabled
        QVERIFY2(a->isEnabled(), qPrintable(action));
    }
}

QTEST_MAIN(OperatorWindowsTest)
#include "tst_operatorwindows.moc"
