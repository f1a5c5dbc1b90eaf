// The report column settings window over pr_codedict: button states follow the
// work; add, cancel, modify, delete and the pick lists reach the database.
#include "reports/frmreportset.h"
#include "store/recordset.h"
#include "support/controls.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"
#include "support/windowload.h"
#include "ui/boundgrid.h"

#include <QTableWidget>
#include <QTest>

namespace {
constexpr int kCodeColumn = 3, kTypeColumn = 5, kAlignColumn = 8, kMemoColumn = 10;
// add, modify, save, cancel, delete, exit enabled, as "1" and "0"
const QString kBrowsing = QStringLiteral("110011"), kAdding = QStringLiteral("101100"), kModifying = QStringLiteral("001100");
} // namespace

class TestFrmreportSet : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_db = std::make_unique<TestDatabase>();
        m_shown.clear();
        m_shown.answer = Msg::Answer::Ok;
        m_form = std::make_unique<FrmreportSet>(m_db->connection());
        loaded(*m_form).show();
        m_grid = child<BoundGrid>(m_form.get(), QStringLiteral("DataGrid1"));
    }
    void cleanup() { m_form.reset(); }
    void addCancelAndSave();
    void modifyAndDelete();
    void pickLists();
    void refusedRowIsExplained();

private:
    QString buttons() const
    {
        QString states;
        for (const char *name : {"cmdzj", "cmdxg", "cmdbc", "cmdqx", "cmdsc", "cmdtc"})
            states += child<QAbstractButton>(m_form.get(), QLatin1String(name))->isEnabled() ? u'1' : u'0';
        return states;
    }
    void press(const char *name) { click(m_form.get(), QLatin1String(name)); }
    bool set(int row, int column, const QString &v) { return model()->setData(model()->index(row, column), v); }
    QString cell(int row, int column) const { return model()->data(model()->index(row, column)).toString(); }
    QAbstractItemModel *model() const { return m_grid->model(); }
    int stored(const QString &where = QString()) { return m_db->count(QStringLiteral("pr_codedict ") + where); }
    int current() const { return m_form->recordset()->currentIndex(); }

    std::unique_ptr<TestDatabase> m_db;
    MessageLog m_shown;
    std::unique_ptr<FrmreportSet> m_form;
    BoundGrid *m_grid = nullptr;
};

void TestFrmreportSet::addCancelAndSave()
{
    const int rows = model()->rowCount(), before = stored();
    QCOMPARE(buttons(), kBrowsing);
    QVERIFY(!(model()->flags(model()->index(0, kMemoColumn)) & Qt::ItemIsEditable));
    m_grid->setCurrentIndex(model()->index(4, 0));
    press("cmdzj");
    QCOMPARE(buttons(), kAdding);
    QVERIFY(set(rows, kCodeColumn, QStringLiteral("never_saved")));
    press("cmdqx");
    QCOMPARE(model()->rowCount(), rows);
    QCOMPARE(stored(), before);
    QCOMPARE(buttons(), kBrowsing);
    QCOMPARE(current(), 4); // back on the row it left from
    // A second add writes the first new row.
    press("cmdzj");
    QVERIFY(set(rows, kCodeColumn, QStringLiteral("first_new")));
    press("cmdzj");
    QCOMPARE(current(), rows + 1);
    QCOMPARE(stored("where colm_code='first_new'"), 1);
    QVERIFY(set(rows + 1, kCodeColumn, QStringLiteral("second_new")));
    press("cmdbc");
    QCOMPARE(stored(), before + 2);
    QCOMPARE(buttons(), kBrowsing);
    QCOMPARE(m_shown.count(), 0);
}

void TestFrmreportSet::modifyAndDelete()
{
    Recordset *rs = m_form->recordset();
    QVERIFY(rs->find(QStringLiteral("colm_code='dw'")));
    const int row = current(), rows = model()->rowCount(), before = stored();
    const QString memo = QStringLiteral("select memo from pr_codedict where colm_code='dw'");
    press("cmdxg");
    QCOMPARE(buttons(), kModifying);
    QVERIFY(set(row, kMemoColumn, QStringLiteral("改过")));
    press("cmdbc");
    press("cmdxg");
    QVERIFY(set(row, kMemoColumn, QStringLiteral("不要")));
    press("cmdqx");
    QCOMPARE(m_db->scalar(memo).toString(), QStringLiteral("改过"));
    QCOMPARE(cell(row, kMemoColumn), QStringLiteral("改过"));

    const QString next = cell(row + 1, kCodeColumn);
    m_shown.answer = Msg::Answer::No;
    press("cmdsc");
    QCOMPARE(m_shown.texts(), QStringList{QStringLiteral("是否真的删除此条记录？")});
    QCOMPARE(m_shown.shown().at(0).buttons, Msg::Buttons::YesNo);
    QCOMPARE(stored(), before);
    m_shown.answer = Msg::Answer::Yes;
    press("cmdsc");
    QCOMPARE(stored("where colm_code='dw'"), 0);
    QCOMPARE(model()->rowCount(), rows - 1);
    // The row after it takes its place, in the recordset and in the grid.
    QCOMPARE(rs->text(QStringLiteral("colm_code")), next);
    QCOMPARE(m_grid->currentIndex().row(), row);
    // The last row goes the same way; the one before it becomes current.
    rs->moveLast();
    press("cmdsc");
    QCOMPARE(current(), rows - 3);
}

void TestFrmreportSet::pickLists()
{
    auto *types = child<QTableWidget>(m_form.get(), QStringLiteral("FlDict"));
    auto *aligns = child<QTableWidget>(m_form.get(), QStringLiteral("FlDq"));
    m_form->showPickList(kTypeColumn); // nothing while browsing
    QVERIFY(!types->isVisible());
    press("cmdzj");
    QVERIFY(set(current(), kCodeColumn, QStringLiteral("picked")));
    m_form->showPickList(kTypeColumn);
    QVERIFY(types->isVisible() && !aligns->isVisible());
    m_form->choosePick(types, 1);
    QVERIFY(!types->isVisible());
    m_form->showPickList(kAlignColumn);
    m_form->choosePick(aligns, 1);
    m_form->showPickList(kMemoColumn); // other columns have none
    QVERIFY(!types->isVisible() && !aligns->isVisible());
    press("cmdbc");
    QCOMPARE(m_db->scalar(QStringLiteral("select colm_type || '/' || colm_dq from pr_codedict where colm_code='picked'"))
                 .toString(),
             QStringLiteral("BFL/R"));
}

void TestFrmreportSet::refusedRowIsExplained()
{
    // A word in the number column: moving off the row says why, and the row stays with what was typed.
    press("cmdxg");
    const int row = current();
    QVERIFY(set(row, 0, QStringLiteral("十")));
    m_grid->setCurrentIndex(model()->index(row + 1, 0));
    QCOMPARE(m_shown.count(), 1);
    QVERIFY2(m_shown.text().contains(QStringLiteral("十")), qPrintable(m_shown.text()));
    QCOMPARE(current(), row);
    QCOMPARE(cell(row, 0), QStringLiteral("十"));
    press("cmdbc");
    QCOMPARE(m_shown.count(), 2);
    QCOMPARE(buttons(), kModifying);
}

QTEST_MAIN(TestFrmreportSet)
#include "tst_frmreportset.moc"
