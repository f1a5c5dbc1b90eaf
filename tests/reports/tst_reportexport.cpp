// Grids written as Excel and CSV files and read back cell by cell; a cancelled
// export leaves no half file.
#include "domain/reports/csvexport.h"
#include "domain/reports/xlsxexport.h"
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
    void gridToCsvAndExcel()
    {
        const QString kh = "8899000001", name = "王\"小,芳\"\n二行";
        m_db->connection().execute("insert into hyda(kh, xm, bz, csrq, sfzh) values(?, ?, '=1+1', '1980-02-29', "
                                   "'11010519491231002X')", {kh, name});
        m_db->connection().execute("insert into hyxc(kh, amount2, jifen) values(?, 1234.5, ?)", {kh, 0.1 + 0.2});
        Recordset rows;
        rows.open("select h.id, h.kh, h.xm, h.bz, h.csrq, x.amount2, x.jifen, h.sfzh from hyda h join hyxc x on x.kh = h.kh "
                  "where h.kh=?", &m_db->connection(), LockType::ReadOnly, {kh});
        BoundGrid grid;
        grid.setWindowTitle("客户列表"); // the sheet's first row
        grid.bind(&rows);
        grid.setColumnHidden(0, true);
        grid.setCaption(2, "姓名");
        QCOMPARE(grid.model()->index(0, 6).data().toString(), "0.30000000000000004"); // as stored, not 0.3
        const QString csv = m_db->tempDir() + "/grid.csv", xlsx = m_db->tempDir() + "/grid.xlsx";
        std::unique_ptr<QMenu> menu(GridExport::menu(&grid));
        for (const auto &[file, command] : {std::pair{csv, "gridExportCsv"}, std::pair{xlsx, "gridExportExcel"}}) {
            FakeDialogs dialogs(file);
            menu->findChild<QAction *>(command)->trigger();
        }
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\xEF\xBB\xBF" "kh,姓名,bz,csrq,amount2,jifen,sfzh\r\n"
                                            "8899000001,\"王\"\"小,芳\"\"\n二行\",'=1+1,1980-02-29,1234.5,"
                                            "0.30000000000000004,11010519491231002X\r\n"));
        const XlsxSheet sheet(xlsx);
        QCOMPARE(sheet.at("B2").value, "姓名");
        QCOMPARE(sheet.at("A3").type, "inlineStr"); // the card number stays text
        QCOMPARE(sheet.at("B3").value, name);
        QCOMPARE(sheet.at("C3").value + '|' + sheet.at("C3").formula, "=1+1|"); // text, never a formula
        QCOMPARE(sheet.at("D3").format, "yyyy-mm-dd");
        QCOMPARE(sheet.at("E3").value.toDouble(), 1234.5);
        // Each column as wide as its longest cell and two: a Chinese character counts twice, the longest line counts.
        QCOMPARE(sheet.widths, (QHash<int, int>{{1, 12}, {2, 11}, {3, 6}, {4, 12}, {5, 9}, {6, 13}, {7, 20}}));
        QCOMPARE(sheet.at("D3").value, "29280");
        // Packed at zlib's fastest level, "S" in the listing; the library by itself packs at its default.
        QProcess list;
        list.start("unzip", {"-v", xlsx});
        QVERIFY(list.waitForFinished() && list.readAll().contains("Defl:S"));
    }

    void cellsKeptAsTheirKind_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("stored"); // the cell, its format, the total of two such cells, the column's width
        QTest::newRow("two places") << "#####0.00" << QVariant(85.00000000000001) << "85|0.00|170|8";
        QTest::newRow("percent: two places of the percentage") << "#####0.00%" << QVariant(-0.123456)
                                                              << "-0.1235|0.00%|-0.247|9";
        QTest::newRow("none given") << "" << QVariant(1.23456) << "1.23456||2.46912|9";
        QTest::newRow("date and time") << "" << QVariant("2024-03-01 08:30:15")
                                       << "45352.35434027778|yyyy-mm-dd hh:mm:ss|0|21";
        QTest::newRow("no such day: text") << "" << QVariant("2021-02-30") << "2021-02-30||0|12";
    }

    void cellsKeptAsTheirKind()
    {
        QFETCH(QString, format);
        QFETCH(QVariant, value);
        QFETCH(QString, stored);
        const ExportTable table{{}, {}, {{"金额", format, true}}, 2, [value](int, int) { return value; }};
        const QString path = m_db->tempDir() + "/numbers.xlsx";
        QVERIFY(XlsxExport::write(table, path).ok);
        const XlsxSheet sheet(path);
        QCOMPARE(QStringList({sheet.at("A2").value, sheet.at("A2").format, sheet.at("A4").value,
                              QString::number(sheet.widths.value(1))}).join('|'), stored);
    }

    void manyRowsInOrder()
    {
        // More cells than the library's thread is handed in one batch: none lost, none out of order.
        const ExportTable table{{}, {}, {{"编号", {}, true}}, 40000, [](int row, int) { return QVariant(row + 1); }};
        const QString path = m_db->tempDir() + "/rows.xlsx";
        QVERIFY(XlsxExport::write(table, path).ok);
        const XlsxSheet sheet(path);
        QCOMPARE(sheet.cells.size(), 40002);
        QCOMPARE(sheet.at("A20001").value + ' ' + sheet.at("A40002").value, "20000 800020000");
    }

    void cancelLeavesNoHalfFile_data()
    {
        QTest::addColumn<bool>("excel");
        QTest::addColumn<bool>("earlier");
        QTest::addColumn<int>("calls"); // answered yes: five for the rows, then the file is being packed
        QTest::newRow("excel, over an earlier file") << true << true << 1;
        QTest::newRow("excel, while packing") << true << true << 5;
        QTest::newRow("csv, new file") << false << false << 1;
    }

    void cancelLeavesNoHalfFile()
    {
        QFETCH(bool, excel);
        QFETCH(bool, earlier);
        QFETCH(int, calls);
        QTemporaryDir dir;
        QFile old(dir.filePath(excel ? "out.xlsx" : "out.csv"));
        QVERIFY(!earlier || (old.open(QIODevice::WriteOnly) && old.write("earlier") == 7));
        old.close();
        ExportTable table;
        table.columns = {{"编号", {}, true}};
        table.rowCount = 10000;
        table.cell = [](int row, int) { return QVariant(row); };
        int told = 0, done = 0;
        const ExportProgress cancel = [&](int rows, int) { return (done = rows, ++told <= calls); };
        const ExportResult result = excel ? XlsxExport::write(table, old.fileName(), cancel)
                                          : CsvExport::write(table, old.fileName(), cancel);
        QVERIFY(result.cancelled && !result.ok);
        QCOMPARE(done > table.rowCount, calls == 5);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), earlier ? 1 : 0);
        QCOMPARE(old.open(QIODevice::ReadOnly) ? old.readAll() : QByteArray(), earlier ? QByteArray("earlier") : QByteArray());
    }

private:
    std::unique_ptr<TestDatabase> m_db;
    MessageLog m_messages;
};

QTEST_MAIN(TestReportExport)
#include "tst_reportexport.moc"
