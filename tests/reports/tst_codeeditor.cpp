// The code dictionary editor on a real database: a row keeps its class,
// refusals name their cause, find starts at the current row, delete asks
// first, Enter walks the boxes, box 2 is upper case.
#include "reports/frm_kxlx.h"
#include "store/recordset.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/windowload.h"

#include <QApplication>
#include <QComboBox>
#include <QTest>

class CodeEditorTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_window.reset(); // the previous test's, before its fixture
        m_f.reset();
        m_f = std::make_unique<AppFixture>();
        m_window = std::make_unique<FRM_KXLX>(m_f->state);
        loaded(*m_window).show();
    }
    void rowKeepsItsClass()
    {
        // The class list follows the row shown, so saving an airline while another class was last chosen keeps it one.
        const int airline = rows()->indexOf(QStringLiteral("class='航空公司'"));
        QVERIFY(airline >= 0);
        classes()->setCurrentText(QStringLiteral("性别"));
        rows()->moveTo(airline);
        QCOMPARE(classes()->currentText(), QStringLiteral("航空公司"));
        const int lx = rows()->value(QStringLiteral("lx")).toInt();
        type(3, QStringLiteral("中国国航"));
        run(QStringLiteral("save"));
        QCOMPARE(m_f->messages.count(), 0);
        QCOMPARE(m_f->rows("select class, sm from dict where class='航空公司' and lx=?", {lx}), "航空公司|中国国航");
    }

    void refusalsNameTheirCause_data()
    {
        QTest::addColumn<QString>("lx");
        QTest::addColumn<QString>("message");
        QTest::newRow("duplicate") << "1" << "数据重复，请重新输入!"; // lx 1 of 性别 exists
        QTest::newRow("not a number") << "一" << "编号  请输入数字！";
    }

    void refusalsNameTheirCause()
    {
        QFETCH(QString, lx);
        QFETCH(QString, message);
        classes()->setCurrentText(QStringLiteral("性别"));
        run(QStringLiteral("new"));
        type(1, lx);
        type(3, QStringLiteral("不详"));
        run(QStringLiteral("save"));
        QCOMPARE(m_f->messages.texts(), QStringList{message});
        QCOMPARE(m_f->count("dict where sm='不详'"), 0);
    }

    void findStartsAtTheCurrentRow()
    {
        box(m_window.get(), QStringLiteral("Txtfind"))->setText(QStringLiteral("2"));
        run(QStringLiteral("find"));
        const int first = rows()->currentIndex();
        QCOMPARE(rows()->value(QStringLiteral("lx")).toInt(), 2);
        run(QStringLiteral("find")); // again from the row found: the same row
        QCOMPARE(rows()->currentIndex(), first);
        rows()->moveTo(first + 1); // from the row after it: the next class's code 2
        run(QStringLiteral("find"));
        QVERIFY(rows()->currentIndex() > first);
        QCOMPARE(rows()->value(QStringLiteral("lx")).toInt(), 2);
    }

    void deleteAsksFirst()
    {
        const int before = m_f->count("dict");
        rows()->moveTo(0);
        m_f->messages.answer = Msg::Answer::Cancel;
        run(QStringLiteral("delete"));
        QCOMPARE(m_f->messages.texts(), QStringList{QStringLiteral("确认删除当前记录")});
        QCOMPARE(m_f->count("dict"), before);
        m_f->messages.answer = Msg::Answer::Ok;
        run(QStringLiteral("delete"));
        QCOMPARE(m_f->count("dict"), before - 1);
    }

    void enterWalksTheBoxesAndBoxTwoIsUpperCase()
    {
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        const int last = m_window->fieldCount() - 1;
        field(1)->setFocus();
        for (int i = 1; i < last; ++i) {
            QTest::keyClick(field(i), Qt::Key_Return);
            QVERIFY2(field(i + 1)->hasFocus(), qPrintable(QString::number(i)));
        }
        QTest::keyClick(field(last), Qt::Key_Return);
        QVERIFY(field(0)->hasFocus());
        field(2)->setFocus();
        type(2, QStringLiteral("ca"));
        field(3)->setFocus();
        QCOMPARE(field(2)->text(), QStringLiteral("CA"));
        run(QStringLiteral("save"));
        QCOMPARE(rows()->text(QStringLiteral("jm")), QStringLiteral("CA"));
    }

private:
    QLineEdit *field(int i) const { return box(m_window.get(), QStringLiteral("txtspzd_%1").arg(i)); }
    QComboBox *classes() const { return child<QComboBox>(m_window.get(), QStringLiteral("Class")); }
    void run(const QString &key) { press(m_window.get(), key); }
    void type(int i, const QString &text)
    {
        field(i)->setText(text);
        emit field(i)->textEdited(text);
    }
    Recordset *rows() const { return m_window->rows(); }

    std::unique_ptr<AppFixture> m_f;
    std::unique_ptr<FRM_KXLX> m_window;
};

QTEST_MAIN(CodeEditorTest)
#include "tst_codeeditor.moc"
