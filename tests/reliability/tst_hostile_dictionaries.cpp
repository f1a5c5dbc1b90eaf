// Hostile text through the two dictionary editors: the code dictionary editor
// (class list, field boxes, find box) and the report column settings grid.
// Each value is stored and read back exactly, or refused with the window's
// message while nothing is written.
#include "reports/frm_kxlx.h"
#include "reports/frmreportset.h"
#include "store/recordset.h"
#include "support/hostile.h"
#include "support/windowload.h"
#include "ui/boundgrid.h"

#include <QComboBox>

using namespace Hostile;

class HostileDictionariesTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanupTestCase()
    {
        m_codes.reset();
        m_columns.reset();
        m_f.reset();
    }
    void editors_data();
    void editors();

private:
    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<FRM_KXLX> m_codes;
    std::unique_ptr<FrmreportSet> m_columns;
    qint64 m_row = 0; // the report column row the grid edits, and where the grid shows it
    int m_at = 0;
    QString m_place;
    int m_serial = 0;
    MessageLog m_messages;
    FakeDialogs m_dialogs;
};

void HostileDictionariesTest::init()
{
    const QString place = QString::fromUtf8(QTest::currentDataTag()).section(QLatin1Char(' '), 0, 0);
    if (place != m_place) {
        cleanupTestCase();
        m_f = std::make_unique<Fixture>();
        m_place = place;
        m_row = m_f->write(QStringLiteral("insert into pr_codedict(xh, table_code, table_name, colm_code, colm_name, colm_type, "
                                          "colm_cd, sum_tag, colm_dq, can_show, memo) values(99, 'HOSTILE', '测试', 'c', "
                                          "'名', 'TXT', 5, '0', 'L', '1', '')"));
        m_codes = std::make_unique<FRM_KXLX>(m_f->state);
        loaded(*m_codes);
        m_columns = std::make_unique<FrmreportSet>(m_f->state.connection());
        loaded(*m_columns);
        Recordset *rs = m_columns->recordset();
        for (m_at = 0; rs->valueAt(m_at, rs->fieldIndex(QStringLiteral("table_code"))) != QStringLiteral("HOSTILE");)
            ++m_at;
    }
    m_messages.clear();
}

void HostileDictionariesTest::editors_data()
{
    QStringList places = {"class", "box1", "box2", "box3", "box4", "find"};
    for (int column = 0; column < FrmreportSet::headers().size(); ++column)
        places << QStringLiteral("column%1").arg(column);
    addRows(places);
}

void HostileDictionariesTest::editors()
{
    QFETCH(QString, place);
    QFETCH(QString, text);
    Fixture &f = *m_f;
    Guard guard(f, m_messages, place == QLatin1String("find") ? QStringList() : QStringList{"dict", "pr_codedict"});
    FRM_KXLX &w = *m_codes;
    if (place == QLatin1String("find")) {
        // A code is a number; none of the inputs is one.
        w.rows()->moveFirst();
        paste(w, QStringLiteral("Txtfind"), text);
        press(w, QStringLiteral("find"));
        QCOMPARE(summary(m_messages), QStringLiteral("未查到数据!"));
        QCOMPARE(w.rows()->currentIndex(), w.rows()->recordCount() - 1);
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
        return;
    }
    if (place.startsWith(QLatin1String("column"))) {
        FrmreportSet &g = *m_columns;
        Recordset *rs = g.recordset();
        const int column = place.mid(6).toInt();
        const QString name = rs->fieldName(column);
        const QString cell = QStringLiteral("select \"%1\" from pr_codedict where rowid=?1").arg(name);
        const QVariant was = f.value(cell, {m_row});
        const QByteArray others = f.digest(QStringLiteral("select * from pr_codedict where rowid<>?1"), {m_row});
        const int at = m_at;
        rs->moveTo(at);
        g.cmdxg_Click();
        QAbstractItemModel *grid = control<BoundGrid>(g, QStringLiteral("DataGrid1"))->model();
        QVERIFY(grid->setData(grid->index(at, column), text));
        g.cmdbc_Click();
        const QVariant now = f.value(cell, {m_row});
        const QString verdict = storedOrRefused(m_messages, m_messages.count() == 0 || now != was ? QVariantList{now} : QVariantList(),
                                                text, QStringLiteral("数据有误，请重新输入!"));
        QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
        if (m_messages.count() == 0) {
            QCOMPARE(grid->index(at, column).data().toString(), text);
        } else { // only a number column refuses, naming the field
            QVERIFY(m_messages.shown().at(0).text.contains(QStringLiteral("“%1”").arg(name)) && m_messages.shown().at(0).text.contains(QStringLiteral("需要数字")));
            g.cmdqx_Click();
        }
        QCOMPARE(g.state(), FrmreportSet::State::Browsing);
        QCOMPARE(f.digest(QStringLiteral("select * from pr_codedict where rowid<>?1"), {m_row}), others);
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
        return;
    }
    // The code editor's boxes, laid out from the dictionary rows of dict; the class list stands for box 0.
    const int box = place == QLatin1String("class") ? 0 : place.mid(3).toInt();
    const QVariantList field = f.rows(QStringLiteral("select colm_code, colm_name, upper(colm_type), colm_cd, nullbj from "
                                                     "dh_codedict where table_code='dict' order by xh")).at(box);
    const qint64 last = f.number(QStringLiteral("select max(rowid) from dict"));
    const QByteArray old = f.digest(QStringLiteral("select * from dict where rowid<=?1"), {last});
    auto *classes = control<QComboBox>(w, QStringLiteral("Class"));
    classes->setCurrentText(QStringLiteral("测试类"));
    press(w, QStringLiteral("new"));
    const int code = 100 + ++m_serial;
    paste(w, QStringLiteral("txtspzd_1"), QString::number(code));
    paste(w, QStringLiteral("txtspzd_3"), QStringLiteral("名称"));
    if (box == 0) {
        classes->setCurrentText(text); // chosen after "new", as an operator may change the mind
    } else {
        paste(w, QStringLiteral("txtspzd_%1").arg(box), QStringLiteral("z"));
        paste(w, QStringLiteral("txtspzd_%1").arg(box), text);
    }
    press(w, QStringLiteral("save"));
    const QList<QVariantList> added = f.rows(
        QStringLiteral("select \"%1\", class, lx from dict where rowid > ?1").arg(field.at(0).toString()), {last});
    const QString verdict = storedOrRefused(m_messages, added.value(0).mid(0, 1), text, field.at(1).toString());
    QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
    if (m_messages.count() == 0) {
        QCOMPARE(added.first().at(1).toString(), box == 0 ? text : QStringLiteral("测试类"));
        QCOMPARE(added.first().at(2).toInt(), code);
        QVERIFY(text.toUcs4().size() <= field.at(3).toInt() && (field.at(2) == "CHAR" || text.isEmpty()));
        QVERIFY(!text.isEmpty() || field.at(4) == "0");
        QCOMPARE(control<QLineEdit>(w, QStringLiteral("txtspzd_%1").arg(box))->text(), text);
    } else {
        press(w, QStringLiteral("cancel"));
    }
    QCOMPARE(f.digest(QStringLiteral("select * from dict where rowid<=?1"), {last}), old);
    QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
}

QTEST_MAIN(HostileDictionariesTest)
#include "tst_hostile_dictionaries.moc"
