// The report column settings window over pr_codedict: button states follow the
// work; add, cancel, modify and delete reach the database.
#include "reports/frmreportset.h"
#include "store/recordset.h"
#include "support/appfixture.h"
#include "support/controls.h"
#include "support/windowload.h"
#include "ui/boundgrid.h"

#include <QTest>

namespace {
constexpr int kCodeColumn = 3, kMemoColumn = 10;
// add, modify, save, cancel, delete, exit enabled, as "1" and "0"
const QString kBrowsing = QStringLiteral("110011"), kAdding = QStringLiteral("101100"), kModifying = QStringLiteral("001100");
} // namespace

class TestFrmreportSet : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_form.reset(); // the previous test's, before its fixture
        m_f.reset();
        m_f = std::make_unique<AppFixture>();
        m_form = std::make_unique<FrmreportSet>(m_f->db.connection());
        loaded(*m_form).show();
        m_grid = child<BoundGrid>(m_form.get(), QStringLiteral("DataGrid1"));
    }
    void addCancelAndSave()
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
        QVERIFY(set(rows, kCodeColumn, "first_new"));
        press("cmdzj");
        QVERIFY(set(rows + 1, kCodeColumn, "second_new"));
        press("cmdbc");
        QCOMPARE(stored("where colm_code in ('first_new', 'second_new')"), 2);
        QCOMPARE(buttons(), kBrowsing);
        QCOMPARE(m_f->messages.count(), 0);
    }

    void modifyAndDelete()
    {
        QVERIFY(m_form->recordset()->find(QStringLiteral("colm_code='dw'")));
        const int row = current(), rows = model()->rowCount(), before = stored();
        press("cmdxg");
        QCOMPARE(buttons(), kModifying);
        QVERIFY(set(row, kMemoColumn, QStringLiteral("改过")));
        press("cmdbc");
        press("cmdxg");
        QVERIFY(set(row, kMemoColumn, QStringLiteral("不要")));
        press("cmdqx");
        QCOMPARE(m_f->scalar(QStringLiteral("select memo from pr_codedict where colm_code='dw'")).toString(), QStringLiteral("改过"));
        QCOMPARE(cell(row, kMemoColumn), QStringLiteral("改过"));

        const QString next = cell(row + 1, kCodeColumn);
        m_f->messages.answer = Msg::Answer::No;
        press("cmdsc");
        QCOMPARE(m_f->messages.texts(), QStringList{QStringLiteral("是否真的删除此条记录？")});
        QCOMPARE(stored(), before);
        m_f->messages.answer = Msg::Answer::Yes;
        press("cmdsc");
        QCOMPARE(stored("where colm_code='dw'"), 0);
        QCOMPARE(model()->rowCount(), rows - 1);
        // The row after it takes its place, in the recordset and in the grid.
        QCOMPARE(m_form->recordset()->text(QStringLiteral("colm_code")), next);
        QCOMPARE(m_grid->currentIndex().row(), row);
        // The last row goes the same way; the one before it becomes current.
        m_form->recordset()->moveLast();
        press("cmdsc");
        QCOMPARE(current(), rows - 3);
    }

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
    int stored(const QString &where = QString()) { return m_f->count(QStringLiteral("pr_codedict ") + where); }
    int current() const { return m_form->recordset()->currentIndex(); }

    std::unique_ptr<AppFixture> m_f;
    std::unique_ptr<FrmreportSet> m_form;
    BoundGrid *m_grid = nullptr;
};

QTEST_MAIN(TestFrmreportSet)
#include "tst_frmreportset.moc"
