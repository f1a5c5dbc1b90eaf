// torvane-crashdriver: runs one of the multi-statement commands again and
// again on a database, through the program's own code, so that tst_crash can
// kill it at any moment and look at what is left.
//
//   torvane-crashdriver DATABASE COMMAND START [LIMIT]
//
// DATABASE is a file or a server location.
// COMMAND is one of clear, transfer-all, transfer-row, delete-customer,
// rights, refund, save-row. START is how many commands of this kind the
// database already holds; the driver numbers its own from START+1. It writes,
// one line per write(2) so that a kill never leaves half a line:
//
//   ready               the database is open and the windows are built
//   begin K WORDS...    command K is about to run and what it means to do
//   done K              command K returned
//   exhausted           nothing is left for this kind of command
//   error TEXT          something went wrong that is not the kill (exit 2)
//
// The customers, tickets and operator it works on are made by tst_crash.

#include "archive/frmhyda.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/pointscommands.h"
#include "operators/frm_czyset.h"
#include "shell/appstate.h"
#include "shell/frm_pathset.h"
#include "store/connection.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "ui/messagebox.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {

const QString kOperator = QStringLiteral("CR操作员");

void say(const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + written, size_t(bytes.size() - written));
        if (n <= 0)
            std::_Exit(3);
        written += n;
    }
}

[[noreturn]] void stop(const QString &why)
{
    say(QStringLiteral("error ") + why);
    std::_Exit(2);
}

// Messages the windows show on the way of a successful command; anything
// else means the command did not do what it was asked.
QStringList g_expectedMessages;

QVariant scalar(Connection &connection, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &connection, LockType::ReadOnly);
    return rs.recordCount() > 0 ? rs.value(0) : QVariant();
}

QList<qint64> ids(Connection &connection, const QString &sql)
{
    Recordset rs;
    rs.open(sql, &connection, LockType::ReadOnly);
    QList<qint64> result;
    for (int i = 0; i < rs.recordCount(); ++i)
        result << rs.valueAt(i, 0).toLongLong();
    return result;
}

// Scrambles the command number, so picks and amounts wander over the rows.
quint32 scramble(qint64 k)
{
    quint32 x = quint32(k) * 2654435761u;
    x ^= x >> 15;
    x *= 2246822519u;
    x ^= x >> 13;
    return x;
}

int rowOf(const ItineraryModel *model, qint64 id)
{
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->cell(r, 0) == QString::number(id))
            return r;
    return -1;
}

// One kind of command: prepare() decides what command k will do and returns
// its announcement (empty when nothing is left); run() does it.
struct Command
{
    virtual ~Command() = default;
    virtual QString prepare(qint64 k) = 0;
    virtual void run() = 0;
};

// Clearing of one customer's points over many ticket rows.
struct Clear : Command
{
    explicit Clear(Connection &c) : connection(c) {}
    QString prepare(qint64 k) override
    {
        amount = 120 + int(scramble(k) % 97);
        remark = QStringLiteral("k=%1").arg(k);
        const double left = scalar(connection, QStringLiteral("select total(jifenyue) from hyxc where kh='CR-CLR'")).toDouble();
        if (left < amount)
            return {};
        return QStringLiteral("clear CR-CLR %1").arg(amount);
    }
    void run() override
    {
        const auto result = PointsCommands::clearPoints(connection, QStringLiteral("CR-CLR"), QString::number(amount),
                                                        remark, kOperator);
        if (result.outcome != PointsCommands::ClearOutcome::Cleared)
            stop(QStringLiteral("clearing refused, outcome %1").arg(int(result.outcome)));
    }
    Connection &connection;
    int amount = 0;
    QString remark;
};

// All tickets of one customer to the other and back again.
struct TransferAll : Command
{
    explicit TransferAll(Connection &c) : connection(c) {}
    QString prepare(qint64) override
    {
        const int a = scalar(connection, QStringLiteral("select count(*) from hyxc where kh='CR-TA'")).toInt();
        from = a > 0 ? QStringLiteral("CR-TA") : QStringLiteral("CR-TB");
        to = a > 0 ? QStringLiteral("CR-TB") : QStringLiteral("CR-TA");
        return QStringLiteral("transfer-all %1 %2").arg(from, to);
    }
    void run() override
    {
        if (PointsCommands::transferAll(connection, from, to) != PointsCommands::TransferOutcome::Moved)
            stop(QStringLiteral("transfer refused"));
    }
    Connection &connection;
    QString from, to;
};

// Odd commands clear points of CR-RA, even ones move one of its tickets to
// CR-RB: every point of CR-RA is then either still there, cleared or moved.
struct TransferRow : Command
{
    explicit TransferRow(Connection &c) : connection(c) {}
    QString prepare(qint64 k) override
    {
        clearing = k % 2 == 1;
        if (clearing) {
            amount = 15 + int(scramble(k) % 23);
            remark = QStringLiteral("k=%1").arg(k);
            const double left =
                scalar(connection, QStringLiteral("select total(jifenyue) from hyxc where kh='CR-RA'")).toDouble();
            if (left < amount)
                return {};
            return QStringLiteral("clear CR-RA %1").arg(amount);
        }
        const QList<qint64> rows = ids(connection, QStringLiteral("select id from hyxc where kh='CR-RA' order by id"));
        if (rows.isEmpty())
            return {};
        id = rows.at(int(scramble(k) % quint32(rows.size())));
        return QStringLiteral("move %1").arg(id);
    }
    void run() override
    {
        if (clearing) {
            const auto result = PointsCommands::clearPoints(connection, QStringLiteral("CR-RA"),
                                                            QString::number(amount), remark, kOperator);
            if (result.outcome != PointsCommands::ClearOutcome::Cleared)
                stop(QStringLiteral("clearing refused, outcome %1").arg(int(result.outcome)));
        } else if (PointsCommands::transferRow(connection, QStringLiteral("CR-RA"), QStringLiteral("CR-RB"), id)
                   != PointsCommands::TransferOutcome::Moved) {
            stop(QStringLiteral("row transfer refused"));
        }
    }
    Connection &connection;
    bool clearing = false;
    int amount = 0;
    QString remark;
    qint64 id = 0;
};

// The customer window deletes CR-D001, CR-D002, ... with their tickets.
struct DeleteCustomer : Command
{
    explicit DeleteCustomer(AppState &state) : connection(state.connection()), window(state)
    {
        if (!window.load())
            stop(QStringLiteral("the window did not load"));
        g_expectedMessages << QStringLiteral("确认删除当前记录");
    }
    QString prepare(qint64) override
    {
        kh = scalar(connection, QStringLiteral("select min(kh) from hyda where kh like 'CR-D%'")).toString();
        if (kh.isEmpty())
            return {};
        const int at = window.customers()->indexOf(QStringLiteral("kh=") + sqlQuote(kh));
        if (at < 0)
            stop(QStringLiteral("%1 is not in the window").arg(kh));
        window.customers()->moveTo(at);
        if (window.customerNumber() != kh)
            stop(QStringLiteral("the window shows %1 instead of %2").arg(window.customerNumber(), kh));
        return QStringLiteral("delete %1").arg(kh);
    }
    void run() override
    {
        QAction *action = window.findChild<QAction *>(QStringLiteral("delete"));
        if (!action)
            stop(QStringLiteral("no delete button"));
        action->trigger();
    }
    Connection &connection;
    FRMHYDA window;
    QString kh;
};

// The rights window saves a new set of rights for CR操作员 each time.
struct SaveRights : Command
{
    explicit SaveRights(AppState &state) : connection(state.connection()), window(state)
    {
        if (!window.load())
            stop(QStringLiteral("the window did not load"));
        g_expectedMessages << QStringLiteral("操作员权限修改完成。");
        auto *combo = window.findChild<QComboBox *>(QStringLiteral("combczy"));
        list = window.findChild<QListWidget *>(QStringLiteral("ListView1"));
        if (!combo || !list)
            stop(QStringLiteral("rights window without its controls"));
        const int at = combo->findText(kOperator);
        if (at < 0)
            stop(QStringLiteral("no operator %1 in the list").arg(kOperator));
        combo->setCurrentIndex(at);
        window.CzyqxStar();
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->checkState() == Qt::Checked)
                previous |= 1u << i;
    }
    QString prepare(qint64 k) override
    {
        const int n = list->count();
        mask = scramble(k) & ((1u << n) - 1);
        // Each save differs from what it replaces, so the two can be told apart afterwards.
        if (mask == previous)
            mask ^= 1u << (k % n);
        previous = mask;
        QStringList names;
        for (int i = 0; i < n; ++i)
            if (mask & (1u << i))
                names << list->item(i)->text();
        return QStringLiteral("rights ") + (names.isEmpty() ? QStringLiteral("-") : names.join(QLatin1Char('|')));
    }
    void run() override
    {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(mask & (1u << i) ? Qt::Checked : Qt::Unchecked);
        window.toolbarClicked(QStringLiteral("save"));
    }
    Connection &connection;
    Frm_czyset window;
    QListWidget *list = nullptr;
    quint32 previous = 0;
    quint32 mask = 0;
};

// Refund or void of CR-RF's tickets, one after the other in id order.
struct Refund : Command
{
    explicit Refund(AppState &state) : connection(state.connection()), area(state)
    {
        area.load();
        area.setCustomer(QStringLiteral("CR-RF"));
        area.setEditMode();
    }
    QString prepare(qint64) override
    {
        const QVariant next =
            scalar(connection, QStringLiteral("select min(id) from hyxc where kh='CR-RF' and zt='正常'"));
        if (next.isNull())
            return {};
        id = next.toLongLong();
        refund = id % 2 == 1;
        const int row = rowOf(area.model(), id);
        if (row < 0)
            stop(QStringLiteral("ticket %1 is not in the grid").arg(id));
        area.grid()->setCurrentIndex(area.model()->index(row, 2));
        if (!area.ticketMenuAllowed())
            stop(QStringLiteral("the ticket menu is not offered for %1").arg(id));
        return QStringLiteral("%1 %2").arg(refund ? QStringLiteral("退票") : QStringLiteral("作废")).arg(id);
    }
    void run() override
    {
        if (refund)
            area.menu_tp_Click();
        else
            area.menu_zf_Click();
    }
    Connection &connection;
    ItineraryArea area;
    qint64 id = 0;
    bool refund = false;
};

// New ticket rows typed into CR-SV's grid and saved with their points.
struct SaveRow : Command
{
    explicit SaveRow(AppState &state) : area(state)
    {
        area.load();
        area.setCustomer(QStringLiteral("CR-SV"));
        area.setEditMode();
        if (auto *compute = area.findChild<QCheckBox *>(QStringLiteral("ChCKJFjS")))
            compute->setChecked(true);
        else
            stop(QStringLiteral("no points check box"));
    }
    QString prepare(qint64 k) override
    {
        // The grid stays small enough to refill quickly.
        if (area.model()->rowCount() >= 300)
            return {};
        ticket = QStringLiteral("SV-%1").arg(k);
        amount = 100 + int(scramble(k) % 900);
        rate = 1 + int(scramble(k + 7) % 9);
        return QStringLiteral("save %1 %2 %3").arg(ticket).arg(amount).arg(rate);
    }
    void run() override
    {
        area.add_Click();
        const int row = area.model()->rowCount() - 1;
        ItineraryModel *m = area.model();
        m->setCell(row, 3, QStringLiteral("2024-05-01"));
        m->setCell(row, 4, QStringLiteral("成都"));
        m->setCell(row, 5, QStringLiteral("上海"));
        m->setCell(row, 6, QStringLiteral("3U8888"));
        m->setCell(row, 7, QStringLiteral("Y"));
        m->setCell(row, 8, ticket);
        m->setCell(row, 9, QStringLiteral("1"));
        m->setCell(row, 10, QString::number(amount));
        m->setCell(row, 13, QString::number(rate));
        m->setCell(row, 14, QStringLiteral("川航"));
        area.grid()->setCurrentIndex(m->index(row, 2));
        area.save_Click();
        // Saved means refilled from the file with an id of its own.
        bool saved = false;
        for (int r = 0; r < area.model()->rowCount(); ++r)
            saved = saved || (area.model()->cell(r, 8) == ticket && !area.model()->cell(r, 0).isEmpty());
        if (!saved)
            stop(QStringLiteral("ticket %1 is not in the grid after saving").arg(ticket));
    }
    ItineraryArea area;
    QString ticket;
    int amount = 0;
    int rate = 0;
};

} // namespace

int main(int argc, char **argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s DATABASE COMMAND START [LIMIT]\n", argv[0]);
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString kind = QString::fromLatin1(argv[2]);
    const qint64 start = QByteArray(argv[3]).toLongLong();
    const qint64 limit = argc > 4 ? QByteArray(argv[4]).toLongLong() : 1000000;

    // Whatever the windows keep in settings stays beside the database (a server's: in the temporary folder).
    const bool server = Connection::isServerLocation(path);
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       (server ? QDir::tempPath() : QFileInfo(path).absolutePath()) + QStringLiteral("/settings"));

    Msg::setHandler([](const Msg::Shown &shown) {
        if (!g_expectedMessages.contains(shown.text))
            stop(QStringLiteral("message ") + shown.text);
        return shown.buttons == Msg::Buttons::YesNo ? Msg::Answer::Yes : Msg::Answer::Ok;
    });

    try {
        AppState state;
        const auto [folder, file] = Frm_pathset::splitLocation(server ? path : QFileInfo(path).absoluteFilePath());
        state.setLocation(folder, file);
        state.setCurrentOperator(kOperator);
        state.connection().open(state.connectionText());

        std::unique_ptr<Command> command;
        if (kind == QLatin1String("clear"))
            command = std::make_unique<Clear>(state.connection());
        else if (kind == QLatin1String("transfer-all"))
            command = std::make_unique<TransferAll>(state.connection());
        else if (kind == QLatin1String("transfer-row"))
            command = std::make_unique<TransferRow>(state.connection());
        else if (kind == QLatin1String("delete-customer"))
            command = std::make_unique<DeleteCustomer>(state);
        else if (kind == QLatin1String("rights"))
            command = std::make_unique<SaveRights>(state);
        else if (kind == QLatin1String("refund"))
            command = std::make_unique<Refund>(state);
        else if (kind == QLatin1String("save-row"))
            command = std::make_unique<SaveRow>(state);
        else
            stop(QStringLiteral("unknown command ") + kind);

        say(QStringLiteral("ready"));
        for (qint64 k = start + 1; k <= start + limit; ++k) {
            const QString announcement = command->prepare(k);
            if (announcement.isEmpty()) {
                say(QStringLiteral("exhausted"));
                return 0;
            }
            say(QStringLiteral("begin %1 ").arg(k) + announcement);
            command->run();
            say(QStringLiteral("done %1").arg(k));
        }
    } catch (const DbException &e) {
        stop(QStringLiteral("DbException %1 %2").arg(e.number()).arg(e.description()));
    }
    return 0;
}
