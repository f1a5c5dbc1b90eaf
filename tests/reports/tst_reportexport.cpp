// Grids written as Excel and CSV files and read back cell by cell; a cancelled
// export leaves no half file.
#include "reports/csvexport.h"
#include "reports/xlsxexport.h"
#include "store/recordset.h"
#include "support/fakedialogs.h"
#include "support/messagelog.h"
#include "support/testdatabase.h"
#include "support/xlsxsheet.h"
#include "ui/boundgrid.h"
#include "ui/gridexport.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QTest>

class TestReportExport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { m_db = std::make_unique<TestDatabase>(); }
    void cleanup() { QCOMPARE(m_messages.texts(), QStringList()); }
    void gridToCsvAndExcel();
    void cancelLeavesNoHalfFile_data();
    void cancelLeavesNoHalfFile();

private:
    std::unique_ptr<TestDatabase> m_db;
    MessageLog m_messages;
};

void TestReportExport::gridToCsvAndExcel()
{
    const QString kh = "8899000001", name = "王\"小,芳\"\n二行";
    m_db->connection().execute("insert into hyda(kh, xm, bz, csrq) values(?, ?, '=1+1', '1980-02-29')", {kh, name});
    m_db->connection().execute("insert into hyxc(kh, amount2, jifen) values(?, 1234.5, 0.1)", {kh});
    Recordset rows;
    rows.open("select h.id, h.kh, h.xm, h.bz, h.csrq, x.amount2, x.jifen from hyda h join hyxc x on x.kh = h.kh where h.kh=?",
              &m_db->connection(), LockType::ReadOnly, {kh});
    BoundGrid grid;
    grid.setWindowTitle("客户列表"); // the sheet's first row
    grid.bind(&rows);
    grid.setColumnHidden(0, true);
    grid.setCaption(2, "姓名");
    const QString csv = m_db->tempDir() + "/grid.csv", xlsx = m_db->tempDir() + "/grid.xlsx";
    std::unique_ptr<QMenu> menu(GridExport::menu(&grid));
    for (const auto &[file, command] : {std::pair{csv, "gridExportCsv"}, std::pair{xlsx, "gridExportExcel"}}) {
        FakeDialogs dialogs(file);
        menu->findChild<QAction *>(command)->trigger();
    }
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF" "kh,姓名,bz,csrq,amount2,jifen\r\n"
                                        "8899000001,\"王\"\"小,芳\"\"\n二行\",'=1+1,1980-02-29,1234.5,0.1\r\n"));
    const XlsxSheet sheet(xlsx);
    QCOMPARE(sheet.at("B2").value, "姓名");
    QCOMPARE(sheet.at("A3").type, "inlineStr"); // the card number stays text
    QCOMPARE(sheet.at("B3").value, name);
    QCOMPARE(sheet.at("C3").value + '|' + sheet.at("C3").formula, "=1+1|"); // text, never a formula
    QCOMPARE(sheet.at("D3").format, "yyyy-mm-dd");
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
    QFile old(dir.filePath(excel ? "out.xlsx" : "out.csv"));
    QVERIFY(!earlier || (old.open(QIODevice::WriteOnly) && old.write("earlier") == 7));
    old.close();
    ExportTable table;
    table.columns = {{"编号", 1000, {}, true}};
    table.rowCount = 10000;
    table.cell = [](int row, int) { return QVariant(row); };
    int told = 0;
    const ExportProgress cancelAtOnce = [&told](int, int) { return ++told < 2; };
    const ExportResult result = excel ? XlsxExport::write(table, old.fileName(), cancelAtOnce)
                                      : CsvExport::write(table, old.fileName(), cancelAtOnce);
    QVERIFY(result.cancelled && !result.ok);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), earlier ? 1 : 0);
    QCOMPARE(old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray(), earlier ? QByteArray("earlier") : QByteArray());
}

QTEST_MAIN(TestReportExport)
#include "tst_reportexport.moc"
