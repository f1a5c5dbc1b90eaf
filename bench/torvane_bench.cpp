// Times the program's own code paths on a synthetic agency database and
// compares each with the same statements run straight on SQLite. With
// --database URI the same operations then run on a PostgreSQL server holding
// the same archive (copied there when the server database is empty), and a
// second table sets each against its SQLite figure of the same run.
//
//   torvane-bench [--customers N] [--tickets M] [--repeat K] [--db FILE] [--fresh] [--out FILE.tsv]
//                 [--database URI] [--sections statistics,points,members,pdf,export,store]

#include "benchtimer.h"
#include "delayproxy.h"
#include "processstart.h"

#include "archive/frmhyda.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "domain/archive/pinyintable.h"
#include "domain/archive/pointscommands.h"
#include "queries/frmhuiyuanfind.h"
#include "queries/frmkhfind.h"
#include "queries/frmsdsrfind.h"
#include "queries/statisticsfind.h"
#include "domain/reports/csvexport.h"
#include "reports/modreport.h"
#include "domain/reports/reportdocument.h"
#include "reports/reportoutput.h"
#include "reports/reportpreview.h"
#include "domain/reports/reportrenderer.h"
#include "domain/reports/reporttemplate.h"
#include "domain/reports/xlsxexport.h"
#include "domain/shell/appstate.h"
#include "shell/form_main.h"
#include "shell/frm_pathset.h"
#include "shell/frmlogin.h"
#include "store/serverroles.h"
#include "store/archivecopy.h"
#include "store/databasecreator.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/statement.h"
#include "ui/boundgrid.h"
#include "ui/gridexport.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QCommandLineParser>
#include <QTableView>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

struct Options
{
    int customers = 100000;
    int tickets = 1000000;
    int repeat = 0; // 0: the full counts
    QString db;
    QString out;
    QString server;
    QStringList sections; // empty: every section
    int latency = 0;      // milliseconds a round trip to the server takes on top of the socket's
    bool fresh = false;
};

// The options as the program reads its own; --help and --version answer and
// end the run, anything that cannot be read ends it with the usage and exit 2.
Options parse(const QStringList &args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Times the program's own code paths on a generated archive."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption customers(QStringLiteral("customers"), QStringLiteral("Customers to generate (100000)."),
                                       QStringLiteral("N"));
    const QCommandLineOption tickets(QStringLiteral("tickets"), QStringLiteral("Tickets to generate (1000000)."),
                                     QStringLiteral("N"));
    const QCommandLineOption repeat(QStringLiteral("repeat"), QStringLiteral("Runs of each operation (0: the full counts)."),
                                    QStringLiteral("N"));
    const QCommandLineOption db(QStringLiteral("db"), QStringLiteral("The SQLite archive to use or generate."),
                                QStringLiteral("FILE"));
    const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("Where the TSV table goes."), QStringLiteral("FILE"));
    const QCommandLineOption server(QStringLiteral("database"),
                                    QStringLiteral("Also run on this server location (postgresql://...)."),
                                    QStringLiteral("URI"));
    const QCommandLineOption sections(QStringLiteral("sections"), QStringLiteral("Only these sections, comma-separated."),
                                      QStringLiteral("LIST"));
    const QCommandLineOption fresh(QStringLiteral("fresh"), QStringLiteral("Generate the archive anew."));
    const QCommandLineOption latency(QStringLiteral("latency"),
                                     QStringLiteral("Run the server through a delay of MS a round trip (0)."),
                                     QStringLiteral("MS"));
    parser.addOptions({customers, tickets, repeat, db, out, server, sections, latency, fresh});

    // Read before the application object exists, so the usage names the program itself.
    const auto usage = [&parser] {
        return parser.helpText().replace(QLatin1String("<executable_name>"), QLatin1String("torvane-bench"));
    };
    const auto refuse = [&usage](const QString &why) {
        std::fprintf(stderr, "%s\n\n%s", qPrintable(why), qPrintable(usage()));
        std::exit(2);
    };
    if (!parser.parse(args))
        refuse(parser.errorText());
    if (parser.isSet(help)) {
        std::printf("%s", qPrintable(usage()));
        std::exit(0);
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        std::exit(0);
    }
    if (!parser.positionalArguments().isEmpty())
        refuse(QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first());
    const auto number = [&](const QCommandLineOption &option, int fallback, int least) {
        if (!parser.isSet(option))
            return fallback;
        bool ok = false;
        const int n = parser.value(option).toInt(&ok);
        if (!ok || n < least)
            refuse(QStringLiteral("--%1 needs a whole number of at least %2, not \"%3\"")
                       .arg(option.names().first())
                       .arg(least)
                       .arg(parser.value(option)));
        return n;
    };
    Options o;
    o.customers = number(customers, o.customers, 1);
    o.tickets = number(tickets, o.tickets, 0);
    o.repeat = number(repeat, o.repeat, 0);
    o.latency = number(latency, o.latency, 0);
    o.db = parser.value(db);
    o.out = parser.value(out);
    o.server = parser.value(server);
    if (parser.isSet(sections))
        o.sections = parser.value(sections).split(QLatin1Char(','));
    o.fresh = parser.isSet(fresh);
    if (o.db.isEmpty())
        o.db = QStringLiteral("/tmp/torvane-bench-%1-%2.db").arg(o.customers).arg(o.tickets);
    if (o.out.isEmpty())
        o.out = QStringLiteral("bench-%1-%2.tsv").arg(o.customers).arg(o.tickets);
    return o;
}

QStringList column(Connection &connection, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &connection);
    QStringList values;
    for (int i = 0; i < rs.recordCount(); ++i)
        values << rs.valueAt(i, 0).toString();
    return values;
}

QString itinerarySql(const QString &columns, const QString &kh)
{
    return QStringLiteral("select [id],") + columns + QStringLiteral(" from hyxc where kh=") + sqlQuote(kh);
}

QString totalsSql(const QString &kh)
{
    return QStringLiteral("select sum(ZS) as 张数,sum(amount1*ZS) as 公布价,sum(amount2*ZS) as 销售价,"
                          "sum(amount3*ZS) as [净价],sum(jifen) as 积分合计,sum(jifenyue) as 剩余积分 from hyxc where kh=")
           + sqlQuote(kh);
}

// Windows read their data in load(); a bench window that cannot load ends the run.
template <class Window>
void loaded(Window &window)
{
    if (!window.load())
        qFatal("%s did not load", window.metaObject()->className());
}

void renderFirstPage(const Report &doc)
{
    if (!doc)
        return;
    const ReportRenderer renderer(*doc);
    QImage page(850, 1200, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.scale(96.0 / 1440.0, 96.0 / 1440.0);
    renderer.paintPage(painter, 0);
}

// Every operation on one archive; `raw` (SQLite only) times the same statements straight.
BenchTable runSuite(const Options &options, const QString &location, sqlite3 *raw)
{
    auto count = [&](int full) { return options.repeat > 0 ? std::min(full, options.repeat) : full; };
    const auto [folder, fileName] = Frm_pathset::splitLocation(location);
    BenchTable table;
    BenchTable::countTripsWith({}); // the last run's connection is gone
    // While tuning one thing, the slow sections of the others can be left out.
    const auto on = [&](const char *section) {
        return options.sections.isEmpty() || options.sections.contains(QLatin1String(section));
    };
    std::printf("running on %s\n", qPrintable(location));
    std::fflush(stdout);

    // 1. Start-up to the login window: the whole program as a new process, from
    // exec to the login window mapped; then the same steps inside this process.
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/../torvane");
    table.add(QStringLiteral("start-up to login window (process)"),
              ProcessStart::timeToLogin(program, location, count(10)), {}, QStringLiteral("< 150 ms"));
    table.add(QStringLiteral("start-up in process (no exec, no libraries)"), BenchTable::time(count(5), [&](int) {
                  AppState state;
                  state.setLocation(folder, fileName);
                  state.connection().open(state.connectionText());
                  form_main main(state);
                  main.load();
                  frmLogin login(state, &main, &main);
                  loaded(login);
                  main.endBusyPointer();
              }),
              BenchTable::timeRaw(raw, count(5), [](int) {
                  return QStringList{QStringLiteral("PRAGMA application_id"),
                                     QStringLiteral("select * from pr_report order by xh"),
                                     QStringLiteral("select * from czyzd")};
              }),
              {});

    // 1b. Logging in on a server, from the button to the main window ready: the
    // operator's own session opened with the typed password, then its rights
    // and the report menu read as the operator.
    if (Connection::isServerLocation(location)) {
        const QString password = QStringLiteral("bench-login");
        {
            Connection owner;
            owner.openLocation(location);
            ServerRoles::setPassword(owner, QStringLiteral("admin"), password);
        }
        QVector<double> logins;
        for (int i = 0; i < count(5); ++i) {
            AppState seat;
            seat.setLocation(folder, fileName);
            seat.connection().open(seat.connectionText());
            form_main main(seat);
            main.load();
            frmLogin login(seat, &main, &main);
            loaded(login);
            login.findChild<QComboBox *>(QStringLiteral("combname"))->setCurrentText(QStringLiteral("admin"));
            login.findChild<QLineEdit *>(QStringLiteral("txtPassword"))->setText(password);
            QElapsedTimer timer;
            timer.start();
            login.cmdOK_Click();
            logins << timer.nsecsElapsed() / 1e6;
            if (login.result() != QDialog::Accepted)
                qFatal("the bench's operator could not log in");
            main.endBusyPointer();
        }
        table.add(QStringLiteral("login (server)"), logins, {}, QStringLiteral("< 150 ms"));
    }

    AppState state;
    state.setLocation(folder, fileName);
    state.connection().open(state.connectionText());
    state.setCurrentOperator(QStringLiteral("admin"));
    Connection &conn = state.connection();
    BenchTable::countTripsWith([&conn] { return conn.roundTrips(); });

    const QString columns = [&] {
        QStringList codes = column(conn, QStringLiteral("select colm_code from dh_codedict where table_code='hyxc' and "
                                                        "can_show='1' order by xh"));
        return codes.join(QLatin1Char(','));
    }();
    // A thousand card numbers spread over the archive: the bench holds no more of it than the windows do.
    const QStringList allCards = [&] {
        QStringList cards;
        Statement s = conn.prepare(QStringLiteral("select kh from hyda"));
        const int stride = std::max(1, options.customers / 1000);
        for (int i = 0; s.next(); ++i)
            if (i % stride == 0)
                cards << s.value(0).toString();
        return cards;
    }();

    // 2. Opening the customer window.
    table.add(QStringLiteral("open customer window"), BenchTable::time(count(5), [&](int) {
                  FRMHYDA window(state);
                  loaded(window);
              }),
              BenchTable::timeRaw(raw, count(5), [&](int) {
                  return QStringList{QStringLiteral("select * from hyda"),
                                     QStringLiteral("select * from dh_codedict where table_code='hyda' order by xh"),
                                     QStringLiteral("select * from dh_codedict where table_code='hyxc' and can_show='1' order by xh"),
                                     itinerarySql(columns, allCards.value(0)), totalsSql(allCards.value(0))};
              }),
              QStringLiteral("< 100 ms"));

    // Straight to the last customer, before the rest are read while the window waits.
    table.add(QStringLiteral("open customer window, then the last customer"), BenchTable::time(count(5), [&](int) {
                  FRMHYDA window(state);
                  loaded(window);
                  window.Cmdmove_Click(3);
              }),
              {}, QStringLiteral("< 100 ms"));

    FRMHYDA window(state);

    loaded(window);
    Recordset *customers = window.customers();
    const int khColumn = customers->fieldIndex(QStringLiteral("kh"));
    const int nameColumn = customers->fieldIndex(QStringLiteral("xm"));

    // 3. Next customer, with its tickets and totals.
    const int moves = std::min(count(1000), customers->recordCount() - 1);
    window.Cmdmove_Click(0);
    table.add(QStringLiteral("next customer (tickets + totals)"),
              BenchTable::time(moves, [&](int) { window.Cmdmove_Click(2); }),
              BenchTable::timeRaw(raw, moves, [&](int i) {
                  const QString kh = customers->valueAt(i + 1, khColumn).toString();
                  return QStringList{itinerarySql(columns, kh), totalsSql(kh)};
              }),
              QStringLiteral("p95 < 16 ms"));

    // 4. Finding a customer by name and by card number.
    auto *find = window.findChild<QLineEdit *>(QStringLiteral("Txtfind"));
    const int finds = count(100);
    auto pick = [&](int i) { return static_cast<int>((static_cast<qint64>(i) * 7919 + 13) % customers->recordCount()); };
    table.add(QStringLiteral("find customer by name"), BenchTable::time(finds, [&](int i) {
                  find->setText(customers->valueAt(pick(i), nameColumn).toString());
                  window.toolbarClicked(QStringLiteral("find"));
              }),
              BenchTable::timeRaw(raw, finds, [&](int i) {
                  const QString kh = customers->valueAt(pick(i), khColumn).toString();
                  return QStringList{itinerarySql(columns, kh), totalsSql(kh)};
              }),
              QStringLiteral("p95 < 16 ms"));
    table.add(QStringLiteral("find customer by card number"), BenchTable::time(finds, [&](int i) {
                  find->setText(customers->valueAt(pick(i), khColumn).toString());
                  window.toolbarClicked(QStringLiteral("find"));
              }),
              BenchTable::timeRaw(raw, finds, [&](int i) {
                  const QString kh = customers->valueAt(pick(i), khColumn).toString();
                  return QStringList{itinerarySql(columns, kh), totalsSql(kh)};
              }),
              QStringLiteral("p95 < 16 ms"));

    // 4b. Finding by pinyin initials ("wf" for 王芳), as typed into the find box:
    // the first search reads the names once, every later one goes over them all.
    auto initials = [](const QString &name) {
        QString typed;
        for (const char32_t c : name.toStdU32String()) {
            const auto readings = PinyinTable::standard().readings(c);
            if (!readings.empty())
                typed += QLatin1Char(PinyinTable::standard().syllable(readings.front()).front());
        }
        return typed;
    };
    const int pinyinFinds = count(200);
    table.add(QStringLiteral("find customer by pinyin, first search"), BenchTable::time(1, [&](int) {
                  find->setText(initials(customers->valueAt(pick(1), nameColumn).toString()));
                  window.toolbarClicked(QStringLiteral("find"));
              }));
    table.add(QStringLiteral("find customer by pinyin initials"), BenchTable::time(pinyinFinds, [&](int i) {
                  find->setText(initials(customers->valueAt(pick(i), nameColumn).toString()));
                  window.toolbarClicked(QStringLiteral("find"));
              }),
              {}, QStringLiteral("p95 < 16 ms"));
    table.add(QStringLiteral("find customer by pinyin, no such name"), BenchTable::time(pinyinFinds, [&](int) {
                  find->setText(QStringLiteral("zzzq"));
                  window.toolbarClicked(QStringLiteral("find"));
              }),
              {}, QStringLiteral("p95 < 16 ms"));

    // 5. Saving new ticket rows with points, on customers with a handful of tickets.
    const QStringList ordinary = column(conn, QStringLiteral("select kh from hyxc group by kh having count(*) < 20 "
                                                             "order by kh limit 200"));
    ItineraryArea *itinerary = window.itinerary();
    itinerary->setEditMode();
    const int saves = ordinary.isEmpty() ? 0 : count(1000);
    QVector<double> saveTimes;
    for (int i = 0; i < saves; ++i) {
        find->setText(ordinary.at(i % ordinary.size()));
        window.toolbarClicked(QStringLiteral("find"));
        itinerary->setEditMode();
        itinerary->add_Click();
        ItineraryModel *model = itinerary->model();
        const int row = model->rowCount() - 1;
        const QList<QPair<int, QString>> cells = {{4, QStringLiteral("上海")},  {5, QStringLiteral("北京")},
                                                  {6, QStringLiteral("MU5101")}, {7, QStringLiteral("Y")},
                                                  {8, QStringLiteral("781-2345678901")}, {9, QStringLiteral("1")},
                                                  {10, QStringLiteral("1240")}, {12, QStringLiteral("980")},
                                                  {13, QStringLiteral("5")}, {14, QStringLiteral("东航")},
                                                  {18, QStringLiteral("950")}};
        for (const auto &[c, text] : cells)
            model->setCell(row, c, text);
        QElapsedTimer timer;
        timer.start();
        itinerary->runway_save(row);
        saveTimes << timer.nsecsElapsed() / 1e6;
    }
    table.add(QStringLiteral("save new ticket row with points"), saveTimes,
              BenchTable::timeRaw(raw, saves, [&](int i) {
                  const QString kh = ordinary.at(i % ordinary.size());
                  return QStringList{QStringLiteral("insert into hyxc (kh,cprq,qfrq,daoda,kaishi,hbh,cw,piaohao,ZS,amount1,"
                                                    "amount2,jfbl,hangkong,amount3,jifen,jifenyue) values (")
                                         + sqlQuote(kh)
                                         + QStringLiteral(",'2026-12-06','2026-12-06','上海','北京','MU5101','Y','x',1,1240,"
                                                          "980,5,'东航',950,62,62)"),
                                     itinerarySql(columns, kh), totalsSql(kh)};
              }),
              QStringLiteral("p95 < 16 ms"));

    // 6. Points clearings.
    const QStringList withPoints = column(conn, QStringLiteral("select kh from hyxc group by kh having sum(jifenyue) > 50 "
                                                               "and count(*) < 50 order by kh limit 1000"));
    const int clearings = withPoints.isEmpty() ? 0 : count(1000);
    table.add(QStringLiteral("points clearing"), BenchTable::time(clearings, [&](int i) {
                  PointsCommands::clearPoints(conn, withPoints.at(i % withPoints.size()), QStringLiteral("1"),
                                              QString(), QStringLiteral("bench"));
              }),
              BenchTable::timeRaw(raw, clearings, [&](int i) {
                  const QString kh = sqlQuote(withPoints.at(i % withPoints.size()));
                  return QStringList{QStringLiteral("select sum(jifenyue) from hyxc where kh=") + kh,
                                     QStringLiteral("select * from hyxc where kh=") + kh + QStringLiteral(" and jifenyue>0"),
                                     QStringLiteral("update hyxc set jifenyue=jifenyue-1 where id=(select min(id) from hyxc where kh=")
                                         + kh + QStringLiteral(" and jifenyue>1)"),
                                     QStringLiteral("insert into jifenallow(kh,czy,jifen) values(") + kh
                                         + QStringLiteral(",'bench',1)")};
              }),
              QStringLiteral("p95 < 16 ms"));

    // 7. Transfers: one row, and all rows of a customer.
    const QStringList rowIds = column(conn, QStringLiteral("select id from hyxc where kh in (select kh from hyxc group by kh "
                                                           "having count(*) < 20) order by id limit 200"));
    const int oneRow = rowIds.isEmpty() ? 0 : count(100);
    table.add(QStringLiteral("transfer one row"), BenchTable::time(oneRow, [&](int i) {
                  const qint64 id = rowIds.at(i % rowIds.size()).toLongLong();
                  Recordset owner;
                  owner.open(QStringLiteral("select kh from hyxc where id=") + sqlNumber(id), &conn);
                  const QString from = owner.value(0).toString();
                  PointsCommands::transferRow(conn, from, allCards.at((i * 31) % allCards.size()), id);
              }),
              BenchTable::timeRaw(raw, oneRow, [&](int i) {
                  const QString id = rowIds.at(i % rowIds.size());
                  return QStringList{QStringLiteral("select kh from hyda where kh=") + sqlQuote(allCards.at(0)),
                                     QStringLiteral("insert into hyxczhuanrang(kh,kaishi,daoda,amount1,amount2,amount3,"
                                                    "hangkong,neivai,jifen,jifenyue,zhuanrangkh) select kh,kaishi,daoda,"
                                                    "amount1,amount2,amount3,hangkong,neivai,jifen,jifenyue,")
                                         + sqlQuote(allCards.at(0)) + QStringLiteral(" from hyxc where id=") + id};
              }));
    const int allRows = std::min(count(10), static_cast<int>(ordinary.size()) / 2);
    table.add(QStringLiteral("transfer all rows of a customer"), BenchTable::time(allRows, [&](int i) {
                  PointsCommands::transferAll(conn, ordinary.at(2 * i), ordinary.at(2 * i + 1));
              }),
              BenchTable::timeRaw(raw, allRows, [&](int i) {
                  return QStringList{QStringLiteral("select * from hyxc where kh=") + sqlQuote(ordinary.at(2 * i + 1))};
              }));

    // 8. Statistics previews over every row: query, layout, first page shown.
    const QList<QPair<QString, QString>> statistics = {{QStringLiteral("frmhangkongFind"), QStringLiteral("SUMhangkong")},
                                                       {QStringLiteral("frmgerenFind"), QStringLiteral("SUMgeren")},
                                                       {QStringLiteral("frmdaodaFind"), QStringLiteral("SUMdaoda")}};
    for (const auto &[name, source] : on("statistics") ? statistics : decltype(statistics){}) {
        std::unique_ptr<StatisticsFind> window;
        if (name == QLatin1String("frmhangkongFind"))
            window = std::make_unique<frmhangkongFind>(state);
        else if (name == QLatin1String("frmgerenFind"))
            window = std::make_unique<frmgerenFind>(state);
        else
            window = std::make_unique<frmdaodaFind>(state);
        loaded(*window);
        table.add(name + QStringLiteral(" preview build"), BenchTable::time(count(5), [&](int) {
                      window->findChild<QComboBox *>(QStringLiteral("DataCombo1_0"))->setCurrentText(QStringLiteral("张数"));
                      window->findChild<QComboBox *>(QStringLiteral("Combo1_0"))->setCurrentText(QStringLiteral(">"));
                      window->findChild<QLineEdit *>(QStringLiteral("txtsj_0"))->setText(QStringLiteral("0"));
                      renderFirstPage(window->strtjset());
                  }),
                  BenchTable::timeRaw(raw, count(5), [source = source](int) {
                      return QStringList{QStringLiteral("select * from ") + source + QStringLiteral(" WHERE ZSOFSUM>0")};
                  }),
                  QStringLiteral("< 100 ms"));
        // The rest of the rows, the totals and the chart, read while the preview is up.
        table.add(name + QStringLiteral(" preview, every row read"), BenchTable::time(count(5), [&](int) {
                      const Report report = window->strtjset();
                      renderFirstPage(report);
                      if (report)
                          report->completeRows();
                  }));
    }

    // A query window's preview, from the button to the window shown and painted.
    auto previewShown = [&](const QString &name, const std::function<void()> &preview, const QString &sql,
                            const QString &target) {
        table.add(name, BenchTable::time(count(5), [&](int) {
                      preview();
                      QApplication::processEvents();
                      for (QWidget *w : QApplication::topLevelWidgets())
                          if (qobject_cast<ReportPreview *>(w))
                              w->close();
                      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                  }),
                  BenchTable::timeRaw(raw, count(5), [sql](int) { return QStringList{sql}; }), target);
    };
    // The income by day (catalogue item 1): every day read.
    if (on("statistics")) {
        frmsdSRFind income(state, 1);
        loaded(income);
        previewShown(QStringLiteral("period income by day, preview shown"), [&] { income.printlx(QStringLiteral("V")); },
                     QStringLiteral("select * from SRriqi"), QStringLiteral("< 100 ms"));
    }

    // 8b. The customer points window (catalogue item 0): every customer.
    if (on("points")) {
        frmkhFind points(state);
        loaded(points);
        previewShown(QStringLiteral("customer points window, first page shown"),
                     [&] { points.run(QStringLiteral("v")); }, QStringLiteral("select * from SUMJIFEN"),
                     QStringLiteral("< 50 ms"));
    }

    // 9. Member itinerary search for one customer.
    if (on("members")) {
    frmHuiYuanFind members(state);
    loaded(members);
    const int searches = count(20);
    table.add(QStringLiteral("member itinerary search"), BenchTable::time(searches, [&](int i) {
                  members.findChild<QComboBox *>(QStringLiteral("DataCombo1_0"))->setCurrentText(QStringLiteral("卡号"));
                  members.findChild<QLineEdit *>(QStringLiteral("txtsj_0"))->setText(allCards.at(pick(i) % allCards.size()));
                  members.Cmdfind_Click();
              }),
              BenchTable::timeRaw(raw, searches, [&](int i) {
                  return QStringList{QStringLiteral("select * from hyxc   WHERE kh=")
                                     + sqlQuote(allCards.at(pick(i) % allCards.size()))};
              }));

    table.add(QStringLiteral("member itinerary search by pinyin"), BenchTable::time(searches, [&](int i) {
                  members.findChild<QComboBox *>(QStringLiteral("DataCombo1_0"))->setCurrentText(QStringLiteral("卡号"));
                  members.findChild<QLineEdit *>(QStringLiteral("txtsj_0"))
                      ->setText(initials(customers->valueAt(pick(i), nameColumn).toString()));
                  members.Cmdfind_Click();
              }));

    }

    // 10. A 10,000-row report rendered to PDF.
    if (on("pdf")) {
    const QString pdf = QStringLiteral("/tmp/torvane-bench-report.pdf");
    const int pdfRows = std::min(10000, options.tickets);
    table.add(QStringLiteral("%1-row report to PDF").arg(pdfRows), BenchTable::time(count(3), [&](int) {
                  const Report report =
                      ModReport::statisticsFindSet(conn, QStringLiteral("hyxc"), QStringLiteral("id<=") + sqlNumber(pdfRows));
                  ReportOutput::exportPdf(*report, pdf);
              }),
              BenchTable::timeRaw(raw, count(3), [&](int) {
                  return QStringList{QStringLiteral("select * from hyxc WHERE id<=") + sqlNumber(pdfRows)};
              }),
              QStringLiteral("< 500 ms"));
    QFile::remove(pdf);
    }

    // 10b. Every customer of the browse grid exported, as the context menu does it.
    if (on("export")) {
        Recordset customers; // as the customer window's browse grid reads them
        customers.setPagedCache(4096);
        customers.open(QStringLiteral("select * from hyda"), &conn, LockType::Optimistic);
        BoundGrid grid;
        grid.bind(&customers);
        const ExportTable exported = GridExport::table(&grid);
        const QString sheet = QStringLiteral("/tmp/torvane-bench-customers");
        table.add(QStringLiteral("%1 customers to Excel").arg(exported.rowCount), BenchTable::time(count(3), [&](int) {
                      XlsxExport::write(exported, sheet + QStringLiteral(".xlsx"), [](int, int) { return true; });
                  }),
                  {}, QStringLiteral("< 5000 ms"));
        table.add(QStringLiteral("%1 customers to CSV").arg(exported.rowCount), BenchTable::time(count(3), [&](int) {
                      CsvExport::write(exported, sheet + QStringLiteral(".csv"), [](int, int) { return true; });
                  }),
                  {}, QStringLiteral("< 5000 ms"));
        // On a shared machine the processor time says what the export costs by itself.
        QVector<double> cpu;
        for (int i = 0; i < count(3); ++i) {
            const std::clock_t start = std::clock();
            XlsxExport::write(exported, sheet + QStringLiteral(".xlsx"), [](int, int) { return true; });
            cpu << 1000.0 * static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        }
        table.add(QStringLiteral("%1 customers to Excel, CPU time").arg(exported.rowCount), cpu, {},
                  QStringLiteral("< 5000 ms"));
        QFile::remove(sheet + QStringLiteral(".xlsx"));
        QFile::remove(sheet + QStringLiteral(".csv"));
    }

    // 11. The store alone: each statement opened as a recordset, against SQLite
    // stepping it (ours/raw) and stepping it reading every value (ours/read).
    const QString someCard = allCards.value(pick(3) % std::max<qsizetype>(1, allCards.size()));
    const QList<QPair<QString, QString>> queries = {
        {QStringLiteral("query: customer list, first page"), QStringLiteral("select * from hyda")},
        {QStringLiteral("query: one customer's tickets"), itinerarySql(columns, someCard)},
        {QStringLiteral("query: customer totals"), totalsSql(someCard)},
        {QStringLiteral("query: airline statistics"), QStringLiteral("select * from SUMhangkong WHERE ZSOFSUM>0")},
        {QStringLiteral("query: route statistics"), QStringLiteral("select * from SUMdaoda WHERE ZSOFSUM>0")},
        {QStringLiteral("query: period income by day"), QStringLiteral("select * from SRriqi")},
        {QStringLiteral("query: points by customer"), QStringLiteral("select * from SUMJIFEN  WHERE jifen>1000")}};
    for (const auto &[name, sql] : on("store") ? queries : decltype(queries){}) {
        const int n = count(name == QLatin1String("query: one customer's tickets")
                                    || name == QLatin1String("query: customer totals")
                                ? 200
                                : 5);
        // The customer list is read as the customer window reads it: its first page, of an archive of any size.
        const bool firstPage = name.endsWith(QLatin1String("first page"));
        const QString rawSql = firstPage ? sql + QStringLiteral(" order by rowid limit 100") : sql;
        table.add(name, BenchTable::time(n, [&, sql = sql](int) {
                      Recordset rs;
                      rs.setFirstRows(firstPage ? 100 : 0);
                      rs.setPagedCache(firstPage ? 4096 : 0);
                      rs.open(sql, &conn, firstPage ? LockType::Optimistic : LockType::ReadOnly);
                  }),
                  BenchTable::timeRaw(raw, n, [&](int) { return QStringList{rawSql}; }), QStringLiteral("ratio <= 1.5"),
                  BenchTable::timeRaw(raw, n, [&](int) { return QStringList{rawSql}; }, true));
    }

    return table;
}

// The server holds the bench archive: copied there when its database is empty.
void prepareServer(const Options &options)
{
    Connection c;
    try {
        c.openLocation(options.server);
    } catch (const DbException &) {
        std::printf("copying %s to %s ...\n", qPrintable(options.db), qPrintable(options.server));
        std::fflush(stdout);
        QElapsedTimer timer;
        timer.start();
        ArchiveCopy::copy(options.db, options.server);
        std::printf("copied in %.1f s\n", timer.elapsed() / 1000.0);
        return;
    }
    if (c.scalar(QStringLiteral("select count(*) from hyda")).toInt() != options.customers)
        qFatal("%s holds another archive: give an empty database", qPrintable(options.server));
}

} // namespace

int main(int argc, char *argv[])
{
    // Read before any window system is needed, so --help works anywhere.
    QCoreApplication::setApplicationName(QStringLiteral("torvane-bench"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TORVANE_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const Options options = parse(arguments);
    QApplication app(argc, argv);
    int messages = 0;
    Msg::setHandler([&messages](const Msg::Shown &) {
        ++messages;
        return Msg::Answer::Ok;
    });

    if (options.fresh)
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(options.db + suffix);
    if (!QFileInfo::exists(options.db)) {
        std::printf("generating %d customers and %d tickets into %s ...\n", options.customers, options.tickets,
                    qPrintable(options.db));
        std::fflush(stdout);
        QElapsedTimer timer;
        timer.start();
        DatabaseCreator::createDemo(options.db, {options.customers, options.tickets}, 424242);
        std::printf("generated in %.1f s\n", timer.elapsed() / 1000.0);
    }

    const QString file = QFileInfo(options.db).absoluteFilePath();
    // A plain connection for the raw comparisons.
    sqlite3 *raw = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_busy_timeout(raw, 5000);
    const BenchTable table = runSuite(options, file, raw);
    sqlite3_close(raw);
    std::printf("\n%d customers, %d tickets; messages answered: %d\n", options.customers, options.tickets, messages);
    table.print();
    if (!table.writeTsv(options.out))
        std::fprintf(stderr, "could not write %s\n", qPrintable(options.out));
    if (options.server.isEmpty())
        return 0;

    try {
        prepareServer(options);
    } catch (const DbException &e) {
        qFatal("server: %s", qPrintable(e.description()));
    }
    // A branch's network: every byte to and from the server waits half the round trip each way.
    std::unique_ptr<DelayProxy> proxy;
    QString location = options.server;
    if (options.latency > 0) {
        proxy = std::make_unique<DelayProxy>(DelayProxy::upstreamOf(options.server), options.latency / 2);
        location = DelayProxy::throughPort(options.server, proxy->port());
        if (!proxy->port() || location.isEmpty())
            qFatal("could not set up the delay to %s", qPrintable(Connection::shownLocation(options.server)));
    }
    const BenchTable server = runSuite(options, location, nullptr);
    std::printf("\non the server (%s)%s:\n", qPrintable(Connection::shownLocation(options.server)),
                options.latency > 0 ? qPrintable(QStringLiteral(", %1 ms a round trip").arg(options.latency)) : "");
    server.print();
    const QString serverOut = QString(options.out).replace(QLatin1String(".tsv"), QLatin1String("-server.tsv"));
    if (!server.writeTsv(serverOut))
        std::fprintf(stderr, "could not write %s\n", qPrintable(serverOut));
    // Each operation against its SQLite figure of this run: the target is at most twice as long.
    std::printf("\n%-44s %12s %12s %8s\n", "operation", "SQLite ms", "server ms", "ratio");
    int slow = 0;
    for (const BenchTable::Row &row : server.rows()) {
        for (const BenchTable::Row &local : table.rows()) {
            if (local.operation != row.operation)
                continue;
            const double ratio = local.median > 0 ? row.median / local.median : 0;
            slow += ratio > 2 ? 1 : 0;
            std::printf("%-44s %12.3f %12.3f %8.2f%s\n", qPrintable(row.operation), local.median, row.median, ratio,
                        ratio > 2 ? "  over 2x" : "");
        }
    }
    std::printf("\n%d operation(s) over twice their SQLite time\n", slow);
    return 0;
}
