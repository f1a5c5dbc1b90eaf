// The code dictionary editor on a real database: a row keeps its class, every
// write passes the field checks, refusals name their cause, find starts at the
// current row, delete asks first, Enter walks the boxes, box 2 is upper case.
#include "reports/frm_kxlx.h"
#include "shell/appstate.h"
#include "store/recordset.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"
#include "support/windowload.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

class CodeEditorTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rowKeepsItsClass();
    void movingWritesThroughTheChecks();
    void refusalsNameTheirCause_data();
    void refusalsNameTheirCause();
    void findStartsAtTheCurrentRow();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void enterWalksTheBoxesAndBoxTwoIsUpperCase();

private:
    QLineEdit *box(int i) const { return m_window->findChild<QLineEdit *>(QStringLiteral("txtspzd_%1").arg(i)); }
    QComboBox *classes() const { return m_window->findChild<QComboBox *>(QStringLiteral("Class")); }
    void press(const QString &key) { m_window->findChild<QAction *>(key)->trigger(); }
    void type(int i, const QString &text)
    {
        box(i)->setText(text);
        emit box(i)->textEdited(text);
    }
    // The row of (class, lx), as stored.
    QString stored(const QString &cls, int lx)
    {
        return m_db->scalar(QStringLiteral("select class||'|'||sm||'|'||coalesce(jm,'') from dict where class='%1' and lx=%2")
                                .arg(cls)
                                .arg(lx))
            .toString();
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<AppState> m_state;
    std::unique_ptr<FRM_KXLX> m_window;
    std::unique_ptr<MessageLog> m_shown;
};

void CodeEditorTest::init()
{
    m_db = std::make_unique<TestDatabase>();
    m_state = std::make_unique<AppState>();
    m_state->connection().open(Connection::connectionText(m_db->folder(), m_db->fileName()));
    m_shown = std::make_unique<MessageLog>();
    m_window = std::make_unique<FRM_KXLX>(*m_state);
    loaded(*m_window);
    m_window->show();
}

void CodeEditorTest::cleanup()
{
    m_window.reset();
    m_state.reset();
    m_db.reset();
    m_shown.reset();
}

void CodeEditorTest::rowKeepsItsClass()
{
    // The class list follows the row shown, so saving an airline while another
    // class was last chosen keeps it an airline.
    Recordset *rows = m_window->rows();
    const int airline = rows->indexOf(QStringLiteral("class='航空公司'"));
    QVERIFY(airline >= 0);
    classes()->setCurrentText(QStringLiteral("性别"));
    rows->moveTo(airline);
    QCOMPARE(classes()->currentText(), QStringLiteral("航空公司"));
    const int lx = rows->value(QStringLiteral("lx")).toInt();
    type(3, QStringLiteral("中国国航"));
    press(QStringLiteral("save"));
    QVERIFY2(!m_shown->count(), qPrintable(m_shown->text()));
    QCOMPARE(stored(QStringLiteral("航空公司"), lx).section(QLatin1Char('|'), 0, 1), QStringLiteral("航空公司|中国国航"));
}

void CodeEditorTest::movingWritesThroughTheChecks()
{
    // A pending edit that fails a check is not written by a move: the message
    // is the check's, and the row stays current.
    Recordset *rows = m_window->rows();
    rows->moveTo(0);
    const QString before = rows->text(QStringLiteral("sm"));
    type(3, QString());
    m_window->Cmdmove_Click(2);
    QCOMPARE(m_shown->count(), 1);
    QCOMPARE(m_shown->shown().first().text, QStringLiteral("名称 数据不能为空!"));
    QCOMPARE(rows->currentIndex(), 0);
    QCOMPARE(m_db->count(QStringLiteral("dict where sm=") + QStringLiteral("'") + before + QStringLiteral("'")), 1);
}

void CodeEditorTest::refusalsNameTheirCause_data()
{
    QTest::addColumn<QString>("lx");
    QTest::addColumn<QString>("message");
    // lx 1 of 性别 exists: a duplicate key.
    QTest::newRow("duplicate") << "1" << "数据重复，请重新输入!";
    QTest::newRow("not a number") << "一" << "编号  请输入数字！";
}

void CodeEditorTest::refusalsNameTheirCause()
{
    QFETCH(QString, lx);
    QFETCH(QString, message);
    classes()->setCurrentText(QStringLiteral("性别"));
    press(QStringLiteral("new"));
    type(1, lx);
    type(3, QStringLiteral("不详"));
    press(QStringLiteral("save"));
    QCOMPARE(m_shown->count(), 1);
    QCOMPARE(m_shown->shown().first().text, message);
    QCOMPARE(m_db->count(QStringLiteral("dict where sm='不详'")), 0);
}

void CodeEditorTest::findStartsAtTheCurrentRow()
{
    Recordset *rows = m_window->rows();
    auto *find = m_window->findChild<QLineEdit *>(QStringLiteral("Txtfind"));
    find->setText(QStringLiteral("2"));
    press(QStringLiteral("find"));
    const int first = rows->currentIndex();
    QCOMPARE(rows->value(QStringLiteral("lx")).toInt(), 2);
    // Again from the row found: the same row.
    press(QStringLiteral("find"));
    QCOMPARE(rows->currentIndex(), first);
    // From the row after it: the next class's code 2.
    rows->moveTo(first + 1);
    press(QStringLiteral("find"));
    QVERIFY(rows->currentIndex() > first);
    QCOMPARE(rows->value(QStringLiteral("lx")).toInt(), 2);
    QVERIFY(!m_shown->count());
    find->setText(QStringLiteral("abc"));
    press(QStringLiteral("find"));
    QCOMPARE(m_shown->count(), 1);
    QCOMPARE(m_shown->shown().first().text, QStringLiteral("未查到数据!"));
    QCOMPARE(rows->currentIndex(), rows->recordCount() - 1);
}

void CodeEditorTest::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void CodeEditorTest::deleteAsksFirst()
{
    QFETCH(bool, confirmed);
    m_shown->answer = confirmed ? Msg::Answer::Ok : Msg::Answer::Cancel;
    const int before = m_db->count(QStringLiteral("dict"));
    m_window->rows()->moveTo(0);
    press(QStringLiteral("delete"));
    QCOMPARE(m_shown->count(), 1);
    QCOMPARE(m_shown->shown().first().text, QStringLiteral("确认删除当前记录"));
    QCOMPARE(m_shown->shown().first().buttons, Msg::Buttons::OkCancel);
    QCOMPARE(m_db->count(QStringLiteral("dict")), confirmed ? before - 1 : before);
}

void CodeEditorTest::enterWalksTheBoxesAndBoxTwoIsUpperCase()
{
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    const int last = m_window->fieldCount() - 1;
    box(1)->setFocus();
    for (int i = 1; i < last; ++i) {
        QTest::keyClick(box(i), Qt::Key_Return);
        QVERIFY2(box(i + 1)->hasFocus(), qPrintable(QString::number(i)));
    }
    QTest::keyClick(box(last), Qt::Key_Return);
    QVERIFY(box(0)->hasFocus());

    box(2)->setFocus();
    type(2, QStringLiteral("ca"));
    box(3)->setFocus();
    QCOMPARE(box(2)->text(), QStringLiteral("CA"));
    press(QStringLiteral("save"));
    QCOMPARE(m_window->rows()->text(QStringLiteral("jm")), QStringLiteral("CA"));
}

QTEST_MAIN(CodeEditorTest)
#include "tst_codeeditor.moc"
