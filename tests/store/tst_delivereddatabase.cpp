// The database as delivered: its dictionaries describe its own tables, the
// catalogue and statistics statements run with a condition on every column
// their dictionaries offer, and the value lists they name are there.
#include "store/recordset.h"
#include "store/schemafacts.h"
#include "support/testdatabase.h"

#include <QTest>

class TestDeliveredDatabase : public QObject
{
    Q_OBJECT
    // Every row's columns as text.
    QList<QStringList> rows(const QString &sql)
    {
        Recordset rs;
        rs.open(sql, &m_db->connection());
        QList<QStringList> rows;
        for (int i = 0; i < rs.recordCount(); ++i) {
            rows.append(QStringList());
            for (int k = 0; k < rs.fieldCount(); ++k)
                rows.last() << rs.valueAt(i, k).toString();
        }
        return rows;
    }
    QStringList fieldsOf(const QString &sql)
    {
        Recordset rs;
        rs.open(sql + QStringLiteral(" limit 0"), &m_db->connection());
        QStringList names;
        for (int i = 0; i < rs.fieldCount(); ++i)
            names << rs.fieldName(i).toLower();
        return names;
    }
    std::unique_ptr<TestDatabase> m_db;

private slots:
    // Only read here, so one small demo database serves every test.
    void initTestCase() { m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{60, 600}); }

    void dictionariesNameRealColumns()
    {
        QStringList wrong;
        for (const QStringList &row : rows(QStringLiteral("select table_code, colm_code from dh_codedict")))
            if (!fieldsOf(QStringLiteral("select * from ") + row.at(0)).contains(row.at(1).toLower()))
                wrong << row.join(QLatin1Char('.'));
        // A print-side source is a table or view, or the dictionary of a catalogue report, whose rows its statement makes.
        const SchemaFacts &schema = SchemaFacts::delivered();
        for (const QStringList &row : rows(QStringLiteral("select table_code, colm_code from pr_codedict"))) {
            const QString &source = row.at(0);
            if (source.compare(QLatin1String("HYJFDZD"), Qt::CaseInsensitive) == 0)
                continue; // the member statement's rows are made by the program from several tables
            QString sql = QStringLiteral("select * from ") + source;
            if (!schema.tables().contains(source, Qt::CaseInsensitive) && !schema.views().contains(source, Qt::CaseInsensitive))
                sql = m_db->connection().scalar(QStringLiteral("select report_sql from pr_report where report_findtjtablename=? or report_Prtjtablename=?"), {source, source}).toString();
            if (sql.isEmpty() || !fieldsOf(sql).contains(row.at(1).toLower()))
                wrong << row.join(QLatin1Char('.'));
        }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral(", "))));
    }

    void conditionsRun_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("conditions"); // the condition dictionary
        // The catalogue window appends its condition after two blanks.
        for (const QStringList &report : rows(QStringLiteral("select report_name, report_sql, report_findtjtablename from pr_report order by xh")))
            QTest::newRow(qPrintable(report.at(0))) << report.at(1) << "  WHERE " << report.at(2);
        for (const QString source : {"SUMhangkong", "SUMgeren", "SUMdaoda", "SUMJIFEN"})
            QTest::newRow(qPrintable(source)) << QStringLiteral("select * from ") + source << " WHERE " << source;
    }
    // Each column of the condition dictionary, with a condition as the query windows write one for its type.
    void conditionsRun()
    {
        QFETCH(QString, sql);
        QFETCH(QString, separator);
        QFETCH(QString, conditions);
        const int all = m_db->scalar(QStringLiteral("select count(*) from (%1)").arg(sql)).toInt();
        const QList<QStringList> columns = rows(QStringLiteral("select colm_code, upper(colm_type) from pr_codedict where table_code='%1'").arg(conditions));
        QVERIFY(!columns.isEmpty());
        for (const QStringList &column : columns) {
            const QString type = column.at(1);
            QString filtered = sql + separator + column.at(0);
            if (type == QLatin1String("DATETIME") || type == QLatin1String("DATE"))
                filtered += QStringLiteral(">=#2003-1-1#");
            else if (type == QLatin1String("NUME") || type == QLatin1String("MON") || type == QLatin1String("BFL"))
                filtered += QStringLiteral(">=0");
            else
                filtered += QStringLiteral("<>'国航'");
            Recordset rs;
            try {
                rs.open(filtered, &m_db->connection());
            } catch (const DbException &e) {
                QFAIL(qPrintable(filtered + QStringLiteral(": ") + e.description()));
            }
            QVERIFY2(rs.recordCount() <= all, qPrintable(filtered));
        }
    }

    // Every value list the windows offer has values.
    void valueListsExist()
    {
        QCOMPARE(m_db->count(QStringLiteral("(select '航空公司' as c union select '内外' union select '定票员' union select '送票员' union "
                                            "select check_value from dh_codedict where check_table='dict' and check_value<>'') v "
                                            "where c not in (select class from dict)")), 0);
    }
};

QTEST_GUILESS_MAIN(TestDeliveredDatabase)
#include "tst_delivereddatabase.moc"
