// Hostile text through the two dictionary editors: the code dictionary editor
// (its class list, its field boxes and its find box) and the report column
// settings grid. Each value is stored and read back exactly, or refused with
// the window's message while nothing is written.

#include "support/windowload.h"
#include "hostilesupport.h"
#include "reports/frmreportset.h"
#include "reports/frm_kxlx.h"
#include "store/recordset.h"
#include "ui/boundgrid.h"
#include "ui/recordsetmodel.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>

using namespace Hostile;

namespace {

const QString kWrongData = QStringLiteral("数据有误，请重新输入!");
constexpr int kClassList = -1; // the class list standing in for field box 0

} // namespace

class HostileDictionariesTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void codeField_data();
    void codeField();
    void codeFind_data();
    void codeFind();
    void reportColumnCell_data();
    void reportColumnCell();

private:
    void stage();
    void checkNoEngineError();
    FRM_KXLX &codeWindow();

    std::unique_ptr<Fixture> m_f;
    std::unique_ptr<FRM_KXLX> m_codes;
    std::unique_ptr<FrmreportSet> m_reportSet;
    int m_reportRow = -1;
    qint64 m_reportRowid = 0;
    QString m_stagedFor;
    int m_serial = 0;
    Messages m_messages;
    NoDialogs m_dialogs;
};

void HostileDictionariesTest::init()
{
    const QString function = QString::fromLatin1(QTest::currentTestFunction());
    if (function != m_stagedFor) {
        m_reportSet.reset();
        m_codes.reset();
        m_f = std::make_unique<Fixture>();
        m_stagedFor = function;
    }
    m_messages.clear();
}

void HostileDictionariesTest::cleanupTestCase()
{
    m_reportSet.reset();
    m_codes.reset();
    m_f.reset();
}

void HostileDictionariesTest::checkNoEngineError()
{
    const QString leaked = engineErrorIn(m_messages.texts());
    QVERIFY2(leaked.isEmpty(), qPrintable(leaked));
}

FRM_KXLX &HostileDictionariesTest::codeWindow()
{
    if (!m_codes) {
        m_codes = std::make_unique<FRM_KXLX>(m_f->state);
        loaded(*m_codes);
    }
    return *m_codes;
}

void HostileDictionariesTest::codeField_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    for (int box : {kClassList, 1, 2, 3, 4})
        for (const Input &in : inputs())
            QTest::newRow(qPrintable((box == kClassList ? QStringLiteral("class") : QStringLiteral("box%1").arg(box))
                                     + QLatin1Char('-') + QLatin1String(in.tag)))
                << box << in.text << in.characters;
}

void HostileDictionariesTest::codeField()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(int, characters);
    FRM_KXLX &w = codeWindow();
    sqlite3 *db = m_f->raw();
    QCOMPARE(w.fieldCount(), 5);
    auto *classes = w.findChild<QComboBox *>(QStringLiteral("Class"));
    QVERIFY(classes);
    auto field = [&w](int i) { return lineEdit(w, QStringLiteral("txtspzd_%1").arg(i)); };

    // The dictionary rows of dict, in box order.
    const QList<QVariantList> dictionary = rows(
        db, QStringLiteral("select colm_code, colm_name, upper(colm_type), colm_cd, nullbj from dh_codedict "
                           "where table_code='dict' order by xh"));
    QCOMPARE(dictionary.size(), 5);
    const QVariantList &row = dictionary.at(box == kClassList ? 0 : box);
    const QString code = row.at(0).toString(), caption = row.at(1).toString(), type = row.at(2).toString();
    const int length = row.at(3).toInt();
    const bool required = row.at(4).toString() != QLatin1String("0");

    const Snapshot before = snapshot(db);
    const qint64 last = number(db, QStringLiteral("select coalesce(max(rowid), 0) from dict"));
    const QString oldRows = QStringLiteral("select * from dict where rowid <= ?1 order by rowid");
    const QByteArray oldDigest = digest(db, oldRows, {last});

    classes->setCurrentText(QStringLiteral("测试类"));
    press(w, QStringLiteral("new"));
    const int number = 100 + ++m_serial;
    paste(field(1), QString::number(number));
    paste(field(3), QStringLiteral("名称"));
    if (box == kClassList) {
        // The class is chosen after "new", as an operator may change the mind.
        classes->setCurrentText(text);
    } else {
        paste(field(box), QStringLiteral("z"));
        paste(field(box), text);
    }
    press(w, QStringLiteral("save"));
    checkNoEngineError();

    QString refusal;
    if (text.isEmpty()) {
        if (required)
            refusal = caption + QStringLiteral(" 数据不能为空!");
    } else if (type == QLatin1String("CHAR")) {
        if (characters > length)
            refusal = caption + QStringLiteral(" 输入数据超长!");
    } else {
        QCOMPARE(type, QStringLiteral("NUME"));
        refusal = caption + QStringLiteral("  请输入数字！"); // none of the inputs is a number
    }

    const QList<QVariantList> added = rows(
        db, QStringLiteral("select class, lx, \"%1\" from dict where rowid > ?1").arg(code), {last});
    if (refusal.isEmpty()) {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(added.size(), 1);
        QCOMPARE(added.first().at(0).toString(), box == kClassList ? text : QStringLiteral("测试类"));
        QCOMPARE(added.first().at(1).toLongLong(), qint64(number));
        const QVariant stored = added.first().at(2);
        if (text.isEmpty()) {
            QVERIFY2(stored.isNull(), qPrintable(stored.toString()));
        } else {
            QCOMPARE(stored.typeId(), QMetaType::QString);
            QCOMPARE(stored.toString(), text);
        }
        // Read back into the window.
        QCOMPARE(field(box == kClassList ? 0 : box)->text(), text);
    } else {
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        QCOMPARE(m_messages.at(0).text, refusal);
        QCOMPARE(m_messages.at(0).icon, Msg::Icon::Exclamation);
        QCOMPARE(added.size(), 0);
        press(w, QStringLiteral("cancel"));
    }
    QCOMPARE(digest(db, oldRows, {last}), oldDigest);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("dict"), QStringLiteral("czyrz")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileDictionariesTest::codeFind_data()
{
    HOSTILE_TEXT_ROWS("");
}

void HostileDictionariesTest::codeFind()
{
    QFETCH(QString, text);
    FRM_KXLX &w = codeWindow();
    sqlite3 *db = m_f->raw();
    const Snapshot before = snapshot(db);
    w.rows()->moveFirst();
    paste(lineEdit(w, QStringLiteral("Txtfind")), text);
    press(w, QStringLiteral("find"));
    checkNoEngineError();
    // A code is a number; none of the inputs is one.
    QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
    QCOMPARE(m_messages.at(0).text, QStringLiteral("未查到数据!"));
    QCOMPARE(w.rows()->currentIndex(), w.rows()->recordCount() - 1);
    const QString changed = changedBesides(before, snapshot(db), {});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

void HostileDictionariesTest::reportColumnCell_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("characters");
    for (int column = 0; column < FrmreportSet::headers().size(); ++column)
        for (const Input &in : inputs())
            QTest::newRow(qPrintable(QStringLiteral("column%1-%2").arg(column).arg(QLatin1String(in.tag))))
                << column << in.text << in.characters;
}

void HostileDictionariesTest::reportColumnCell()
{
    QFETCH(int, column);
    QFETCH(QString, text);
    sqlite3 *db = m_f->raw();
    if (!m_reportSet) {
        m_reportRowid = write(db, QStringLiteral("insert into pr_codedict(xh, table_code, table_name, colm_code, colm_name, "
                                                 "colm_type, colm_cd, sum_tag, colm_dq, can_show, memo) values(99, "
                                                 "'HOSTILE', '测试', 'c', '名', 'TXT', 5, '0', 'L', '1', '')"));
        m_reportSet = std::make_unique<FrmreportSet>(m_f->state.connection());
        loaded(*m_reportSet);
        Recordset *rs = m_reportSet->recordset();
        for (int i = 0; i < rs->recordCount(); ++i)
            if (rs->valueAt(i, rs->fieldIndex(QStringLiteral("table_code"))).toString() == QLatin1String("HOSTILE"))
                m_reportRow = i;
        QVERIFY(m_reportRow >= 0);
    }
    FrmreportSet &w = *m_reportSet;
    Recordset *rs = w.recordset();
    auto *grid = w.findChild<BoundGrid *>(QStringLiteral("DataGrid1"));
    QVERIFY(grid);
    const QString name = rs->fieldName(column);
    const QString declared =
        value(db, QStringLiteral("select type from pragma_table_info('pr_codedict') where name=?1 collate nocase"), {name})
            .toString();
    const bool numeric = declared.contains(QLatin1String("INT"), Qt::CaseInsensitive);

    const Snapshot before = snapshot(db);
    const QString othersSql = QStringLiteral("select * from pr_codedict where rowid<>?1 order by rowid");
    const QByteArray others = digest(db, othersSql, {m_reportRowid});
    const QString cellSql = QStringLiteral("select \"%1\" from pr_codedict where rowid=?1").arg(name);
    const QVariant was = value(db, cellSql, {m_reportRowid});

    rs->moveTo(m_reportRow);
    w.cmdxg_Click();
    QCOMPARE(w.state(), FrmreportSet::State::Modifying);
    QVERIFY(grid->model()->setData(grid->model()->index(m_reportRow, column), text));
    w.cmdbc_Click();
    checkNoEngineError();

    const QVariant stored = value(db, cellSql, {m_reportRowid});
    if (numeric && !text.isEmpty()) {
        // A number column refuses text, naming the field; the row stays as it was.
        QVERIFY2(m_messages.count() == 1, qPrintable(m_messages.summary()));
        const QString message = m_messages.at(0).text;
        QVERIFY2(message.startsWith(kWrongData), qPrintable(message.left(200)));
        QVERIFY2(message.contains(QStringLiteral("“%1”").arg(name)) && message.contains(QStringLiteral("需要数字")),
                 qPrintable(message.left(200)));
        QCOMPARE(w.state(), FrmreportSet::State::Modifying);
        w.cmdqx_Click();
        QCOMPARE(w.state(), FrmreportSet::State::Browsing);
        QCOMPARE(stored, was);
    } else {
        QVERIFY2(m_messages.count() == 0, qPrintable(m_messages.summary()));
        QCOMPARE(w.state(), FrmreportSet::State::Browsing);
        if (text.isEmpty()) {
            QVERIFY2(stored.isNull(), qPrintable(stored.toString()));
        } else {
            QCOMPARE(stored.typeId(), QMetaType::QString);
            QCOMPARE(stored.toString(), text);
        }
        // Read back into the grid as stored.
        QCOMPARE(grid->model()->index(m_reportRow, column).data().toString(), text);
    }
    QCOMPARE(digest(db, othersSql, {m_reportRowid}), others);
    const QString changed = changedBesides(before, snapshot(db), {QStringLiteral("pr_codedict")});
    QVERIFY2(changed.isEmpty(), qPrintable(changed));
}

QTEST_MAIN(HostileDictionariesTest)
#include "tst_hostile_dictionaries.moc"
