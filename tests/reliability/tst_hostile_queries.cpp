// Hostile text as query conditions, through the value boxes of every query
// window: a text value finds exactly the rows a bound parameter finds; a value
// a date or number field cannot take is refused with the window's message.
// And through the code dictionary editor the pick lists come from: each value
// is stored and read back exactly, or refused while nothing is written.
#include "queries/conditionblock.h"
#include "queries/frmhuiyuanfind.h"
#include "queries/frmkhfind.h"
#include "queries/frmsdsrfind.h"
#include "queries/statisticsfind.h"
#include "reports/frm_kxlx.h"
#include "domain/reports/reportdocument.h"
#include "domain/reports/reporttemplate.h"
#include "store/recordset.h"
#include "support/hostile.h"
#include "support/shownreport.h"
#include "support/windowload.h"

#include <QComboBox>

using namespace Hostile;

namespace {

// A place: the window, the condition row's field and operator, the source and
// column a bound parameter searches, and the refusal a date or number field gives.
struct Place
{
    const char *name, *window, *caption, *op, *source, *column, *refusal;
};
const QList<Place> kPlaces = {
    {"airline", "frmhangkongFind", "航空公司", "=", "SUMhangkong", "hangkong", ""},
    {"airline-date", "frmhangkongFind", "出票日期", "=", "SUMhangkong", "", "日期输入错误"},
    {"airline-count", "frmhangkongFind", "张数", "=", "SUMhangkong", "", "请输入数字"},
    {"person", "frmgerenFind", "定票员", "=", "SUMgeren", "dpy", ""},
    {"route-from", "frmdaodaFind", "出发", "=", "SUMdaoda", "kaishi", ""},
    {"member-flight", "frmHuiYuanFind", "航班号", "=", "hyxc", "hbh", ""},
    {"member-flight-like", "frmHuiYuanFind", "航班号", "like", "hyxc", "hbh", ""},
    {"points-name", "frmkhFind", "姓名", "=", "SUMJIFEN", "xm", ""},
    // A number column whose type word this window does not list: its text is compared as text.
    {"points-flights", "frmkhFind", "乘机次数", "=", "SUMJIFEN", "cs", ""},
    {"points-registered", "frmkhFind", "登记日期", "=", "SUMJIFEN", "", "日期输入错误"},
    {"points-total", "frmkhFind", "累计积分", "=", "SUMJIFEN", "", "请输入数字"},
    {"income-airline", "frmsdSRFind2", "2", "=", "SRhangkong", "hangkong", ""},
    {"income-from", "frmsdSRFind1", "0", "=", "SRriqi", "", "日期输入错误"},
    {"income-tickets", "frmsdSRFind1", "2", "=", "SRriqi", "", "请输入数字"},
    {"field-name", "frmhangkongFind", "", "=", "SUMhangkong", "", ""},
};

} // namespace

class HostileQueriesTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        // Nothing here changes the data, so every query shares one file: a ticket
        // carrying each input in the text columns the queries search.
        m_f = std::make_unique<Fixture>();
        int n = 0;
        for (const Input &in : inputs())
            for (const QString &text : {in.text, QStringLiteral("东航")})
                if (!text.isEmpty()) {
                    m_f->write(QStringLiteral("insert into hyda(kh, xm) values(?1, ?2)"), {QStringLiteral("Q%1").arg(++n), text});
                    m_f->write(QStringLiteral("insert into hyxc(kh, cprq, qfrq, daoda, kaishi, hbh, cw, piaohao, ZS, amount1, "
                                              "amount2, amount3, hangkong, neivai, zt, dpy, jifen, jifenyue) values(?1, "
                                              "'2024-02-20', '2024-03-01', ?2, ?2, ?2, 'Y', ?1, 1, 1000, 900, 850, ?2, '国内', "
                                              "'正常', ?2, 50, 50)"), {QStringLiteral("Q%1").arg(n), text});
                }
        AppState &s = m_f->state;
        m_windows["frmhangkongFind"] = std::make_unique<frmhangkongFind>(s);
        m_windows["frmgerenFind"] = std::make_unique<frmgerenFind>(s);
        m_windows["frmdaodaFind"] = std::make_unique<frmdaodaFind>(s);
        m_windows["frmHuiYuanFind"] = std::make_unique<frmHuiYuanFind>(s);
        m_windows["frmkhFind"] = std::make_unique<frmkhFind>(s);
        m_windows["frmsdSRFind1"] = std::make_unique<frmsdSRFind>(s, 1);
        m_windows["frmsdSRFind2"] = std::make_unique<frmsdSRFind>(s, 2);
        for (auto &[name, w] : m_windows)
            loaded(*w);
        m_codes = std::make_unique<FRM_KXLX>(s);
        loaded(*m_codes);
    }

    void conditions_data()
    {
        QStringList places;
        for (const Place &p : kPlaces)
            places << QString::fromUtf8(p.name);
        addRows(places);
    }

    void conditions()
    {
        QFETCH(QString, place);
        QFETCH(QString, text);
        const Place &p = *std::find_if(kPlaces.begin(), kPlaces.end(), [&](const Place &x) { return place == x.name; });
        const QString caption = QString::fromUtf8(p.caption), op = QString::fromUtf8(p.op), refusal = QString::fromUtf8(p.refusal);
        const QString source = QString::fromUtf8(p.source), column = QString::fromUtf8(p.column);
        const QString sqlOp = op == QLatin1String("like") ? QStringLiteral(" like ") : op;
        Fixture &f = *m_f;
        closeShownReports();
        const Guard guard(f, m_messages, {});
        const qint64 all = source.isEmpty() ? 0 : f.number(QStringLiteral("select count(*) from ") + source);
        const qint64 bound = column.isEmpty() ? 0
                             : f.number(QStringLiteral("select count(*) from \"%1\" where \"%2\"%3?1").arg(source, column, sqlOp), {text});
        const bool refused = !refusal.isEmpty() && !text.isEmpty();

        QueryWindow &w = *m_windows.at(QString::fromUtf8(p.window));
        ConditionBlock *rows = w.conditions();
        auto *field = child<QComboBox>(&w, QStringLiteral("DataCombo1_0"));
        if (place.startsWith(QLatin1String("income"))) {
            paste(rows->value(caption.toInt()), text);
        } else if (caption.isEmpty()) { // the field box typed into: a name the dictionary does not hold
            field->setCurrentIndex(-1);
            field->setEditText(text);
            paste(rows->value(0), QStringLiteral("东航"));
        } else {
            field->setCurrentIndex(field->findText(caption));
            child<QComboBox>(&w, QStringLiteral("Combo1_0"))->setCurrentText(op);
            paste(rows->value(0), text);
        }
        int found = -1;
        if (auto *statistics = qobject_cast<StatisticsFind *>(&w)) {
            const Report built = statistics->strtjset();
            found = built ? built->rowCount() : -1;
        } else if (auto *member = qobject_cast<frmHuiYuanFind *>(&w)) {
            member->results()->close();
            member->Cmdfind_Click();
            found = member->results()->isOpen() ? member->results()->recordCount() : -1;
        } else {
            if (auto *income = qobject_cast<frmsdSRFind *>(&w)) {
                income->results()->close();
                income->printlx(QStringLiteral("V"));
            } else {
                static_cast<frmkhFind &>(w).run(QStringLiteral("v"));
            }
            found = shownReport() ? shownReport()->rowCount() : 0; // an empty result shows no report
        }
        // Statistics keep a refused box for another try; the report windows then run on the rows accepted before it, here none.
        const bool statistics = qobject_cast<StatisticsFind *>(&w);
        const bool everything = text.isEmpty() && (place.startsWith(QLatin1String("income")) || place.startsWith(QLatin1String("points")));
        if (caption.isEmpty())
            QCOMPARE(summary(m_messages), QStringLiteral("没有名为“%1”的查询项目，请从列表中选择").arg(text.trimmed()));
        else
            QCOMPARE(summary(m_messages), refused ? refusal : QStringLiteral("(no message)"));
        QCOMPARE(found, caption.isEmpty() ? -1 : refused ? (statistics ? -1 : int(all)) : everything ? int(all) : text.isEmpty() ? -1 : int(bound));
        QVERIFY(found != 0 || place == QLatin1String("points-flights"));
        if (refused)
            QCOMPARE(rows->value(place.startsWith(QLatin1String("income")) ? caption.toInt() : 0)->text(), statistics ? text : QString());
        if (place == QLatin1String("income-airline")) { // the subtitle names the condition as the operator typed it
            QString subtitle;
            for (const ReportControl &c : shownReport()->section(2))
                subtitle += c.name == QLatin1String("labname") ? c.caption : QString();
            QCOMPARE(subtitle, text.isEmpty() ? QString() : QStringLiteral("航空公司='") + text + QLatin1Char('\''));
        }
        rows->txtsjclear();
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
    }

    void codeEditor()
    {
        QFETCH(QString, place);
        QFETCH(QString, text);
        Fixture &f = *m_f;
        FRM_KXLX &w = *m_codes;
        if (place == QLatin1String("find")) { // a code is a number; none of the inputs is one
            paste(box(&w, QStringLiteral("Txtfind")), text);
            press(&w, QStringLiteral("find"));
            QCOMPARE(summary(m_messages), QStringLiteral("未查到数据!"));
            return;
        }
        Guard guard(f, m_messages, {"dict"});
        // The code editor's boxes, laid out from the dictionary rows of dict; the class list stands for box 0.
        const int slot = place == QLatin1String("class") ? 0 : place.mid(3).toInt();
        const QVariantList field = f.rows(QStringLiteral("select colm_code, colm_name, upper(colm_type), colm_cd, nullbj from "
                                                         "dh_codedict where table_code='dict' order by xh")).at(slot);
        const qint64 last = f.number(QStringLiteral("select max(rowid) from dict"));
        const QByteArray old = f.digest(QStringLiteral("select * from dict where rowid<=?1"), {last});
        auto *classes = child<QComboBox>(&w, QStringLiteral("Class"));
        classes->setCurrentText(QStringLiteral("测试类"));
        press(&w, QStringLiteral("new"));
        const int code = 100 + ++m_serial;
        paste(box(&w, QStringLiteral("txtspzd_1")), QString::number(code));
        paste(box(&w, QStringLiteral("txtspzd_3")), QStringLiteral("名称"));
        if (slot == 0) {
            classes->setCurrentText(text); // chosen after "new", as an operator may change the mind
        } else {
            paste(box(&w, QStringLiteral("txtspzd_%1").arg(slot)), QStringLiteral("z"));
            paste(box(&w, QStringLiteral("txtspzd_%1").arg(slot)), text);
        }
        press(&w, QStringLiteral("save"));
        const QList<QVariantList> added = f.rows(
            QStringLiteral("select \"%1\", class from dict where rowid > ?1").arg(field.at(0).toString()), {last});
        const QString verdict = storedOrRefused(m_messages, added.value(0).mid(0, 1), text, field.at(1).toString());
        QVERIFY2(verdict.isEmpty(), qPrintable(verdict));
        if (m_messages.count() == 0) {
            QCOMPARE(added.first().at(1).toString(), slot == 0 ? text : QStringLiteral("测试类"));
            QVERIFY(characters(text) <= field.at(3).toInt() && (field.at(2) == "CHAR" || text.isEmpty()));
            QVERIFY(!text.isEmpty() || field.at(4) == "0");
        } else {
            press(&w, QStringLiteral("cancel"));
        }
        QCOMPARE(f.digest(QStringLiteral("select * from dict where rowid<=?1"), {last}), old);
        QVERIFY2(guard.problems().isEmpty(), qPrintable(guard.problems()));
    }
    void init() { m_messages.clear(); }
    void codeEditor_data() { addRows({"class", "box1", "box2", "box3", "box4", "find"}); }

private:
    std::unique_ptr<Fixture> m_f;
    std::map<QString, std::unique_ptr<QueryWindow>> m_windows;
    std::unique_ptr<FRM_KXLX> m_codes;
    int m_serial = 0;
    MessageLog m_messages;
    FakeDialogs m_dialogs;
};

QTEST_MAIN(HostileQueriesTest)
#include "tst_hostile_queries.moc"
