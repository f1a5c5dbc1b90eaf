// torvane-crashdriver LOCATION KIND: runs one of the commands that write
// several statements again and again through the program's own code, so that
// tst_crash can kill it at any moment and look at what is left. KIND is one
// of clear, transfer-all, transfer-row, delete-customer, refund;
// the customers and operator it works on are made by tst_crash.
// It writes one line per write(2), so a kill never leaves half a line:
// "ready" (open, windows built), "begin" and "done" around each command,
// "exhausted" when nothing is left, "error TEXT" (exit 2) on anything else.
#include "domain/archive/customercommands.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "domain/archive/pointscommands.h"
#include "domain/shell/appstate.h"
#include "shell/frm_pathset.h"
#include "store/recordset.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSettings>
#include <QStandardPaths>
#include <QTableView>
#include <unistd.h>

namespace {

const QString kOperator = QStringLiteral("CR操作员");

void say(const QByteArray &line)
{
    const QByteArray bytes = line + '\n';
    if (::write(STDOUT_FILENO, bytes.constData(), size_t(bytes.size())) != bytes.size())
        std::_Exit(3);
}

[[noreturn]] void stop(const QString &why)
{
    say("error " + why.toUtf8());
    std::_Exit(2);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return 1;
    QApplication app(argc, argv);
    const QString location = QString::fromLocal8Bit(argv[1]), kind = QString::fromLatin1(argv[2]);
    const bool server = Connection::isServerLocation(location);
    // Whatever the windows keep in settings stays beside the database (a server's: in the temporary folder).
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       (server ? QDir::tempPath() : QFileInfo(location).absolutePath()) + QStringLiteral("/settings"));
    // A successful command shows no message; one that does did not do what it was asked.
    Msg::setHandler([](const Msg::Shown &shown) -> Msg::Answer { stop(QStringLiteral("message ") + shown.text); });
    try {
        AppState state;
        const auto [folder, file] = Frm_pathset::splitLocation(server ? location : QFileInfo(location).absoluteFilePath());
        state.setLocation(folder, file);
        state.setCurrentOperator(kOperator);
        state.connection().open(state.connectionText());
        Connection &c = state.connection();
        std::unique_ptr<ItineraryArea> area;
        // One step per kind: false when nothing is left to do, else "begin" said and the command run.
        std::function<bool(qint64)> step;
        if (kind == QLatin1String("clear")) {
            step = [&](qint64 k) {
                const int amount = 120 + int(QRandomGenerator(quint32(k)).bounded(97)); // the same in every run
                if (c.scalar(QStringLiteral("select total(jifenyue) from hyxc where kh='CR-CLR'")).toDouble() < amount)
                    return false;
                say("begin");
                if (PointsCommands::clearPoints(c, QStringLiteral("CR-CLR"), QString::number(amount), QStringLiteral("k=%1").arg(k), kOperator)
                        .outcome != PointsCommands::ClearOutcome::Cleared)
                    stop(QStringLiteral("clearing refused"));
                return true;
            };
        } else if (kind == QLatin1String("transfer-all")) {
            step = [&](qint64 k) {
                say("begin");
                if (PointsCommands::transferAll(c, k % 2 ? "CR-TA" : "CR-TB", k % 2 ? "CR-TB" : "CR-TA") != PointsCommands::TransferOutcome::Moved)
                    stop(QStringLiteral("transfer refused"));
                return true;
            };
        } else if (kind == QLatin1String("transfer-row")) {
            // One of CR-RA's tickets, picked at random, moved to CR-RB.
            step = [&](qint64 k) {
                const qint64 count = c.scalar(QStringLiteral("select count(*) from hyxc where kh='CR-RA'")).toLongLong();
                if (count == 0)
                    return false;
                const qint64 id = c.scalar(QStringLiteral("select id from hyxc where kh='CR-RA' order by id limit 1 offset ?"),
                                           {QRandomGenerator(quint32(k)).bounded(count)}).toLongLong();
                say("begin");
                if (PointsCommands::transferRow(c, QStringLiteral("CR-RA"), QStringLiteral("CR-RB"), id) != PointsCommands::TransferOutcome::Moved)
                    stop(QStringLiteral("row transfer refused"));
                return true;
            };
        } else if (kind == QLatin1String("delete-customer")) {
            // CR-D001, CR-D002, ... deleted with their tickets.
            step = [&](qint64) {
                Recordset customers;
                customers.open(QStringLiteral("select * from hyda where kh like 'CR-D%' order by kh"), &c, LockType::Optimistic);
                if (customers.recordCount() == 0)
                    return false;
                say("begin");
                CustomerCommands::deleteCustomer(c, customers);
                return true;
            };
        } else if (kind == QLatin1String("refund")) {
            // Refund or void of CR-RF's tickets, one after the other in id order.
            area = std::make_unique<ItineraryArea>(state);
            area->load();
            area->setCustomer(QStringLiteral("CR-RF"));
            area->setEditMode();
            step = [&](qint64) {
                const QVariant id = c.scalar(QStringLiteral("select min(id) from hyxc where kh='CR-RF' and zt='正常'"));
                if (id.isNull())
                    return false;
                for (int r = 0; r < area->model()->rowCount(); ++r)
                    if (area->model()->cell(r, 0) == id.toString())
                        area->grid()->setCurrentIndex(area->model()->index(r, 2));
                say("begin");
                id.toLongLong() % 2 ? area->menu_tp_Click() : area->menu_zf_Click();
                return true;
            };
        }
        say("ready");
        for (qint64 k = 1; step(k); ++k)
            say("done");
        say("exhausted");
    } catch (const DbException &e) {
        stop(e.description());
    }
    return 0;
}
