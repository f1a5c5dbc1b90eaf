// Reports and grids written as Excel and CSV files and read back cell by cell.
#include "reports/csvexport.h"
#include "reports/modreport.h"
#include "reports/reportpreview.h"
#include "reports/xlsxexport.h"
#include "store/recordset.h"
#include "support/fakedialogs.h"
#include "support/testdatabase.h"
#include "support/xlsxsheet.h"
#include "ui/boundgrid.h"
#include "support/messagelog.h"
#include "ui/gridexport.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTest>

class TestReportExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(TestDatabase::Content::Demo, DemoSize{40, 200}); }
    void cleanup() { QCOMPARE(m_messages.texts(), QStringList()); }
    void reportToExcel();
    void gridToCsvAndExcel();
    void cancelLeavesNoHalfFile_data();
    void cancelLeavesNoHalfFile();
    void excelLimits();

private:
    std::unique_ptr<TestDatabase> m_db;
    MessageLog m_messages;
};

// The customer points report: Chinese text, a date column, MON columns with totals.
void TestReportExport::reportToExcel()
{
    Recordset rows;
    rows.open(QStringLiteral("select * from SUMJIFEN order by kh"), &m_db->connection());
    const Report report = ModReport::build(m_db->connection(), QStringLiteral("SUMJIFEN"), rows, QStringLiteral("卡号 大于 0"));
    QVERIFY(report);
    const QString path = m_db->tempDir() + QStringLiteral("/积分.xlsx");
    FakeDialogs dialogs(path);
    ReportPreview preview(report);
    preview.findChild<QAction *>(QStringLiteral("exportExcel"))->trigger();

    const XlsxSheet sheet(path);
    QVERIFY(sheet.ok);
    QCOMPARE(sheet.at("A1").value, QStringLiteral("客户积分"));
    QCOMPARE(sheet.at("A2").value, QStringLiteral("卡号 大于 0"));
    QCOMPARE(sheet.at("B3").value, QStringLiteral("姓名"));
    QCOMPARE(sheet.frozenAt, QStringLiteral("A4"));

    double points = 0;
    for (int r = 0; r < rows.recordCount(); ++r) {
        rows.moveTo(r);
        const QString at = QString::number(r + 4);
        QCOMPARE(sheet.at("A" + at).value, rows.text("kh"));
        // A date is a day number shown as a date.
        const XlsxCell day = sheet.at("E" + at);
        QCOMPARE(day.type, QStringLiteral("n"));
        QCOMPARE(day.format, QStringLiteral("yyyy-mm-dd"));
        QCOMPARE(QDate(1899, 12, 30).addDays(day.value.toInt()), rows.value("djrc").toDate());
        const XlsxCell earned = sheet.at("G" + at);
        QCOMPARE(earned.format, QStringLiteral("0.00"));
        QCOMPARE(earned.value.toDouble(), rows.value("jifen").toDouble());
        points += rows.value("jifen").toDouble();
    }
    const QString last = QString::number(rows.recordCount() + 3);
    const XlsxCell total = sheet.at("G" + QString::number(rows.recordCount() + 4));
    QCOMPARE(total.formula, QStringLiteral("SUM(G4:G") + last + ")");
    QCOMPARE(qRound64(total.value.toDouble() * 100), qRound64(points * 100));
    QCOMPARE(sheet.at("F" + QString::number(rows.recordCount() + 4)).formula, QString()); // no total asked
}

void TestReportExport::gridToCsvAndExcel()
{
    const QString kh = QStringLiteral("8899000001");
    const QString name = QStringLiteral("王\"小,芳\"\n二行");
    m_db->connection().execute(QStringLiteral("insert into hyda(kh, xm, bz, csrq) values(?, ?, ?, '1980-02-29')"),
                               {kh, name, QStringLiteral("=1+1")});
    m_db->connection().execute(QStringLiteral("insert into hyxc(kh, amount2, jifen) values(?, 1234.5, 0.1)"), {kh});
    Recordset rows;
    rows.open(QStringLiteral("select h.id, h.kh, h.xm, h.bz, h.csrq, x.amount2, x.jifen from hyda h join hyxc x "
                             "on x.kh = h.kh where h.kh=?"),
              &m_db->connection(), LockType::ReadOnly, {kh});
    BoundGrid grid;
    grid.setWindowTitle(QStringLiteral("客户列表"));
    grid.bind(&rows);
    grid.setColumnHidden(0, true);
    grid.setCaption(2, QStringLiteral("姓名"));

    const QString csv = m_db->tempDir() + QStringLiteral("/grid.csv");
    const QString xlsx = m_db->tempDir() + QStringLiteral("/grid.xlsx");
    std::unique_ptr<QMenu> menu(GridExport::menu(&grid));
    for (const auto &[file, command] : {std::pair{csv, "gridExportCsv"}, std::pair{xlsx, "gridExportExcel"}}) {
        FakeDialogs dialogs(file);
        menu->findChild<QAction *>(QLatin1String(command))->trigger();
    }

    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray expected = "\xEF\xBB\xBF" "kh,姓名,bz,csrq,amount2,jifen\r\n"
                                "8899000001,\"王\"\"小,芳\"\"\n二行\",'=1+1,1980-02-29,1234.5,0.1\r\n";
    QCOMPARE(QString::fromUtf8(file.readAll()), QString::fromUtf8(expected));

    const XlsxSheet sheet(xlsx);
    QVERIFY(sheet.ok);
    QCOMPARE(sheet.at("B2").value, QStringLiteral("姓名"));
    QCOMPARE(sheet.at("A3").type, QStringLiteral("inlineStr")); // the card number stays text
    QCOMPARE(sheet.at("B3").value, name);
    QCOMPARE(sheet.at("C3").value, QStringLiteral("=1+1")); // text, never a formula
    QCOMPARE(sheet.at("C3").formula, QString());
    QCOMPARE(sheet.at("D3").format, QStringLiteral("yyyy-mm-dd"));
    QCOMPARE(sheet.at("E3").value.toDouble(), 1234.5);
}

void TestReportExport::cancelLeavesNoHalfFile_data()
{
    QTest::addColumn<bool>("excel");
    QTest::addColumn<bool>("earlier");
    QTest::newRow("excel, over an earlier file") << true << true;
    QTest::newRow("csv, new file") << false << false;
}

void TestReportExport::cancelLeavesNoHalfFile()
{
    QFETCH(bool, excel);
    QFETCH(bool, earlier);
    QTemporaryDir dir;
    const QString path = dir.filePath(excel ? "out.xlsx" : "out.csv");
    if (earlier) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier");
    }
    ExportTable table;
    table.columns = {{QStringLiteral("编号"), 1000, {}, true}};
    table.rowCount = 10000;
    table.cell = [](int row, int) { return QVariant(row); };
    int told = 0;
    const ExportProgress cancelAtOnce = [&told](int, int) { return ++told < 2; };
    const ExportResult result =
        excel ? XlsxExport::write(table, path, cancelAtOnce) : CsvExport::write(table, path, cancelAtOnce);
    QVERIFY(result.cancelled && !result.ok);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), earlier ? QStringList{path.section('/', -1)} : QStringList{});
    QFile old(path);
    QCOMPARE(old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray(), earlier ? QByteArray("earlier") : QByteArray());
}

// What a sheet cannot hold is refused or cut, never lost without a word.
void TestReportExport::excelLimits()
{
    QTemporaryDir dir;
    ExportTable table;
    table.columns = {{QStringLiteral("备注"), 1000, {}, false}};
    table.rowCount = 1048576; // the caption row makes one too many
    table.cell = [](int row, int) { return QVariant(row); };
    const ExportResult tooMany = XlsxExport::write(table, dir.filePath("big.xlsx"));
    QVERIFY(!tooMany.ok && !tooMany.error.isEmpty());
    QVERIFY(!QFile::exists(dir.filePath("big.xlsx")));

    table.rowCount = 1;
    table.cell = [](int, int) { return QVariant(QString(40000, QChar(0x4E2D))); };
    QVERIFY(XlsxExport::write(table, dir.filePath("long.xlsx")).ok);
    QCOMPARE(XlsxSheet(dir.filePath("long.xlsx")).at("A2").value, QString(32767, QChar(0x4E2D)));
}

QTEST_MAIN(TestReportExport)
#include "tst_reportexport.moc"
