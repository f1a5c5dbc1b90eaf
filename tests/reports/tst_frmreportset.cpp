// The report column settings window over pr_codedict: captions, button
// states, add / save / cancel / delete against the database, the pick lists.
#include "support/windowload.h"
#include "reports/frmreportset.h"
#include "store/recordset.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"
#include "ui/boundgrid.h"
#include "ui/messagebox.h"

#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {

constexpr int kCodeColumn = 3; // colm_code
constexpr int kTypeColumn = 5; // colm_type
constexpr int kAlignColumn = 8; // colm_dq
constexpr int kMemoColumn = 10;

// Which of add, modify, save, cancel, delete, exit are enabled, as "1" and "0".
QString buttonStates(const FrmreportSet &form)
{
    QString states;
    for (const char *name : {"cmdzj", "cmdxg", "cmdbc", "cmdqx", "cmdsc", "cmdtc"}) {
        const auto *b = form.findChild<QPushButton *>(QLatin1String(name));
        states += !b ? QLatin1Char('?') : (b->isEnabled() ? QLatin1Char('1') : QLatin1Char('0'));
    }
    return states;
}

const QString kBrowsing = QStringLiteral("110011");
const QString kAdding = QStringLiteral("101100");
const QString kModifying = QStringLiteral("001100");

} // namespace

class TestFrmreportSet : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void captions();
    void buttonStatesFollowTheWork();
    void addTwiceWritesTheFirst();
    void cancelRemovesUnsavedRow();
    void modifyAndSave();
    void deleteAsksFirst();
    void pickLists();
    void refusedRowIsExplained();

private:
    void click(const char *name) { m_form->findChild<QPushButton *>(QLatin1String(name))->click(); }
    QAbstractItemModel *model() const { return m_grid->model(); }
    QVariant cell(int column) const
    {
        return model()->data(model()->index(m_form->recordset()->currentIndex(), column));
    }

    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<FrmreportSet> m_form;
    BoundGrid *m_grid = nullptr;
    std::unique_ptr<QAbstractItemModelTester> m_tester;
    std::unique_ptr<MessageLog> m_shown;
};

void TestFrmreportSet::init()
{
    m_db = std::make_unique<TestDatabase>();
    m_shown = std::make_unique<MessageLog>();
    m_form = std::make_unique<FrmreportSet>(m_db->connection());
    loaded(*m_form);
    m_form->show();
    m_grid = m_form->findChild<BoundGrid *>(QStringLiteral("DataGrid1"));
    QVERIFY(m_grid);
    m_tester = std::make_unique<QAbstractItemModelTester>(m_grid->model(),
                                                          QAbstractItemModelTester::FailureReportingMode::QtTest);
}

void TestFrmreportSet::cleanup()
{
    m_tester.reset();
    m_form.reset();
    m_db.reset();
    m_shown.reset();
}

void TestFrmreportSet::captions()
{
    const QStringList expected = {QStringLiteral("顺序号"),   QStringLiteral("报表英文名"),   QStringLiteral("报表中文名"),
                                  QStringLiteral("字段英文名"), QStringLiteral("字段中文名"),   QStringLiteral("数报类型"),
                                  QStringLiteral("打印字段字长"), QStringLiteral("是否汇总求和"), QStringLiteral("对齐方式"),
                                  QStringLiteral("是否打印"),   QStringLiteral("说明")};
    QCOMPARE(model()->columnCount(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(model()->headerData(i, Qt::Horizontal).toString(), expected.at(i));
    QCOMPARE(model()->rowCount(), m_db->count(QStringLiteral("pr_codedict")));

    // Cancelling rebinds the grid; the captions come back with it.
    click("cmdzj");
    click("cmdqx");
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(model()->headerData(i, Qt::Horizontal).toString(), expected.at(i));
}

void TestFrmreportSet::buttonStatesFollowTheWork()
{
    QCOMPARE(buttonStates(*m_form), kBrowsing);
    QCOMPARE(m_form->state(), FrmreportSet::State::Browsing);
    QVERIFY(!(model()->flags(model()->index(0, kMemoColumn)) & Qt::ItemIsEditable));

    click("cmdzj");
    QCOMPARE(buttonStates(*m_form), kAdding);
    QVERIFY(model()->flags(model()->index(0, kMemoColumn)) & Qt::ItemIsEditable);
    click("cmdbc");
    QCOMPARE(buttonStates(*m_form), kBrowsing);

    click("cmdxg");
    QCOMPARE(buttonStates(*m_form), kModifying);
    QCOMPARE(m_form->state(), FrmreportSet::State::Modifying);
    click("cmdbc");
    QCOMPARE(buttonStates(*m_form), kBrowsing);

    click("cmdxg");
    click("cmdqx");
    QCOMPARE(buttonStates(*m_form), kBrowsing);
    QVERIFY(!m_shown->count());
}

void TestFrmreportSet::addTwiceWritesTheFirst()
{
    const int rows = model()->rowCount();
    const int stored = m_db->count(QStringLiteral("pr_codedict"));

    click("cmdzj");
    QCOMPARE(model()->rowCount(), rows + 1);
    QCOMPARE(m_form->recordset()->currentIndex(), rows);
    QVERIFY(model()->setData(model()->index(rows, kCodeColumn), QStringLiteral("first_new")));
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict")), stored);

    click("cmdzj");
    QCOMPARE(model()->rowCount(), rows + 2);
    QCOMPARE(m_form->recordset()->currentIndex(), rows + 1);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict where colm_code='first_new'")), 1);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict")), stored + 1);
    QCOMPARE(buttonStates(*m_form), kAdding);

    QVERIFY(model()->setData(model()->index(rows + 1, kCodeColumn), QStringLiteral("second_new")));
    click("cmdbc");
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict where colm_code='second_new'")), 1);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict")), stored + 2);
    QCOMPARE(model()->data(model()->index(rows + 1, kCodeColumn)).toString(), QStringLiteral("second_new"));
    QVERIFY(!m_shown->count());
}

void TestFrmreportSet::cancelRemovesUnsavedRow()
{
    const int rows = model()->rowCount();
    const int stored = m_db->count(QStringLiteral("pr_codedict"));
    m_grid->setCurrentIndex(model()->index(4, 0));
    QCOMPARE(m_form->recordset()->currentIndex(), 4);

    click("cmdzj");
    QVERIFY(model()->setData(model()->index(rows, kCodeColumn), QStringLiteral("never_saved")));
    click("cmdqx");
    QCOMPARE(model()->rowCount(), rows);
    QCOMPARE(m_form->recordset()->recordCount(), rows);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict")), stored);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict where colm_code='never_saved'")), 0);
    QCOMPARE(buttonStates(*m_form), kBrowsing);
    // Back on the row it left from.
    QCOMPARE(m_form->recordset()->currentIndex(), 4);
    QCOMPARE(m_grid->currentIndex().row(), 4);
}

void TestFrmreportSet::modifyAndSave()
{
    Recordset *rs = m_form->recordset();
    rs->moveFirst();
    QVERIFY(rs->find(QStringLiteral("colm_code='dw'")));
    const int row = rs->currentIndex();

    click("cmdxg");
    QVERIFY(model()->setData(model()->index(row, kMemoColumn), QStringLiteral("改过")));
    click("cmdbc");
    QCOMPARE(m_db->scalar(QStringLiteral("select memo from pr_codedict where colm_code='dw'")).toString(),
             QStringLiteral("改过"));

    click("cmdxg");
    QVERIFY(model()->setData(model()->index(row, kMemoColumn), QStringLiteral("不要")));
    click("cmdqx");
    QCOMPARE(m_db->scalar(QStringLiteral("select memo from pr_codedict where colm_code='dw'")).toString(),
             QStringLiteral("改过"));
    QCOMPARE(model()->data(model()->index(row, kMemoColumn)).toString(), QStringLiteral("改过"));
}

void TestFrmreportSet::deleteAsksFirst()
{
    Recordset *rs = m_form->recordset();
    const int rows = model()->rowCount();
    const int stored = m_db->count(QStringLiteral("pr_codedict"));
    rs->moveFirst();
    QVERIFY(rs->find(QStringLiteral("colm_code='dw'")));
    const int row = rs->currentIndex();
    QVERIFY(row > 0 && row < rows - 2);
    const QString next = model()->data(model()->index(row + 1, kCodeColumn)).toString();

    m_shown->answer = Msg::Answer::No;
    click("cmdsc");
    QCOMPARE(m_shown->count(), 1);
    QCOMPARE(m_shown->shown().at(0).text, QStringLiteral("是否真的删除此条记录？"));
    QCOMPARE(m_shown->shown().at(0).icon, Msg::Icon::Question);
    QCOMPARE(m_shown->shown().at(0).buttons, Msg::Buttons::YesNo);
    QCOMPARE(model()->rowCount(), rows);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict")), stored);
    QCOMPARE(rs->currentIndex(), row);

    m_shown->answer = Msg::Answer::Yes;
    click("cmdsc");
    QCOMPARE(m_shown->count(), 2);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict where colm_code='dw'")), 0);
    QCOMPARE(m_db->count(QStringLiteral("pr_codedict")), stored - 1);
    QCOMPARE(model()->rowCount(), rows - 1);
    // The row after it takes its place, in the recordset and in the grid.
    QCOMPARE(rs->currentIndex(), row);
    QCOMPARE(rs->text(QStringLiteral("colm_code")), next);
    QCOMPARE(m_grid->currentIndex().row(), row);
    QCOMPARE(model()->data(model()->index(row, kCodeColumn)).toString(), next);

    // The last row goes the same way; the one before it becomes current.
    rs->moveLast();
    const QString beforeLast = model()->data(model()->index(rows - 3, kCodeColumn)).toString();
    click("cmdsc");
    QCOMPARE(model()->rowCount(), rows - 2);
    QCOMPARE(rs->currentIndex(), rows - 3);
    QCOMPARE(rs->text(QStringLiteral("colm_code")), beforeLast);
}

void TestFrmreportSet::pickLists()
{
    auto *types = m_form->findChild<QTableWidget *>(QStringLiteral("FlDict"));
    auto *aligns = m_form->findChild<QTableWidget *>(QStringLiteral("FlDq"));
    QVERIFY(types && aligns);
    QVERIFY(!types->isVisible());

    // Nothing while browsing.
    m_form->showPickList(kTypeColumn);
    QVERIFY(!types->isVisible());

    click("cmdzj");
    const int row = m_form->recordset()->currentIndex();
    QVERIFY(model()->setData(model()->index(row, kCodeColumn), QStringLiteral("picked")));
    m_form->showPickList(kTypeColumn);
    QVERIFY(types->isVisible());
    QVERIFY(!aligns->isVisible());
    m_form->choosePick(types, 1);
    QVERIFY(!types->isVisible());
    QCOMPARE(cell(kTypeColumn).toString(), QStringLiteral("BFL"));

    m_form->showPickList(kAlignColumn);
    QVERIFY(aligns->isVisible());
    m_form->choosePick(aligns, 1);
    QVERIFY(!aligns->isVisible());
    QCOMPARE(cell(kAlignColumn).toString(), QStringLiteral("R"));

    // Other columns have no list.
    m_form->showPickList(kMemoColumn);
    QVERIFY(!types->isVisible() && !aligns->isVisible());

    click("cmdbc");
    QCOMPARE(m_db->scalar(QStringLiteral("select colm_type || '/' || colm_dq from pr_codedict where colm_code='picked'"))
                 .toString(),
             QStringLiteral("BFL/R"));
    QCOMPARE(buttonStates(*m_form), kBrowsing);
    m_form->showPickList(kAlignColumn);
    QVERIFY(!aligns->isVisible());
}

void TestFrmreportSet::refusedRowIsExplained()
{
    // A word in the number column cannot be stored: moving off the row says
    // why, and the row stays current with what was typed.
    click("cmdxg");
    const int row = m_form->recordset()->currentIndex();
    QVERIFY(model()->setData(model()->index(row, 0), QStringLiteral("十")));
    m_grid->setCurrentIndex(model()->index(row + 1, 0));
    QCOMPARE(m_shown->count(), 1);
    QVERIFY2(m_shown->shown().first().text.contains(QStringLiteral("十")), qPrintable(m_shown->shown().first().text));
    QCOMPARE(m_form->recordset()->currentIndex(), row);
    QCOMPARE(cell(0).toString(), QStringLiteral("十"));
    // Saving says so too, and keeps the window in editing.
    click("cmdbc");
    QCOMPARE(m_shown->count(), 2);
    QCOMPARE(buttonStates(*m_form), kModifying);
}

QTEST_MAIN(TestFrmreportSet)
#include "tst_frmreportset.moc"
