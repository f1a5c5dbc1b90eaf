// torvane-crashdriver LOCATION KIND: runs one of the commands that write
// several statements again and again through the program's own code, so that
// tst_crash can kill it at any moment and look at what is left. KIND is one
// of clear, transfer-all, transfer-row, delete-customer, rights, refund,
// save-row; the customers and operator it works on are made by tst_crash.
// It writes one line per write(2), so a kill never leaves half a line:
// "ready" (open, windows built), "begin" and "done" around each command,
// "exhausted" when nothing is left, "error TEXT" (exit 2) on anything else.
#include "archive/frmhyda.h"
#include "archive/itineraryarea.h"
#include "archive/itinerarymodel.h"
#include "archive/pointscommands.h"
#include "operators/frm_czyset.h"
#include "shell/appstate.h"
#include "shell/frm_pathset.h"
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

// Spreads the command number, so amounts and picks wander over the rows.
quint32 scramble(qint64 k)
{
    quint32 x = quint32(k) * 2654435761u;
    return (x ^ (x >> 15)) * 2246822519u;
}

// Moves a grid's current cell to the ticket with this id.
void select(ItineraryArea &area, qint64 id)
{
    for (int r = 0; r < area.model()->rowCount(); ++r)
        if (area.model()->cell(r, 0) == QString::number(id))
            return area.grid()->setCurrentIndex(area.model()->index(r, 2));
    stop(QStringLiteral("ticket %1 is not in the grid").arg(id));
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
    // The messages on the way of a successful command; anything else means it did not do what it was asked.
    Msg::setHandler([](const Msg::Shown &shown) {
        if (shown.text != QStringLiteral("确认删除当前记录") && shown.text != QStringLiteral("操作员权限修改完成。"))
            stop(QStringLiteral("message ") + shown.text);
        return shown.buttons == Msg::Buttons::YesNo ? Msg::Answer::Yes : Msg::Answer::Ok;
    });
    try {
        AppState state;
        const auto [folder, file] = Frm_pathset::splitLocation(server ? location : QFileInfo(location).absoluteFilePath());
        state.setLocation(folder, file);
        state.setCurrentOperator(kOperator);
        state.connection().open(state.connectionText());
        Connection &c = state.connection();
        auto left = [&](const QString &kh) { return c.scalar(QStringLiteral("select total(jifenyue) from hyxc where kh=?"), {kh}).toDouble(); };
        auto clear = [&](const QString &kh, int amount, qint64 k) {
            if (PointsCommands::clearPoints(c, kh, QString::number(amount), QStringLiteral("k=%1").arg(k), kOperator).outcome
                != PointsCommands::ClearOutcome::Cleared)
                stop(QStringLiteral("clearing refused"));
        };
        std::unique_ptr<FRMHYDA> customers;
        std::unique_ptr<Frm_czyset> rights;
        std::unique_ptr<ItineraryArea> area;
        // One step per kind: false when nothing is left to do, else "begin" said and the command run.
        std::function<bool(qint64)> step;
        if (kind == QLatin1String("clear")) {
            step = [&](qint64 k) {
                const int amount = 120 + int(scramble(k) % 97);
                if (left(QStringLiteral("CR-CLR")) < amount)
                    return false;
                say("begin");
                clear(QStringLiteral("CR-CLR"), amount, k);
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
            // Odd commands clear points of CR-RA, even ones move one of its tickets to CR-RB.
            step = [&](qint64 k) {
                const int amount = 15 + int(scramble(k) % 23);
                const qint64 count = c.scalar(QStringLiteral("select count(*) from hyxc where kh='CR-RA'")).toLongLong();
                if (k % 2 ? left(QStringLiteral("CR-RA")) < amount : count == 0)
                    return false;
                const qint64 id = c.scalar(QStringLiteral("select id from hyxc where kh='CR-RA' order by id limit 1 offset ?"),
                                           {qint64(scramble(k) % quint64(count))}).toLongLong();
                say("begin");
                if (k % 2)
                    clear(QStringLiteral("CR-RA"), amount, k);
                else if (PointsCommands::transferRow(c, QStringLiteral("CR-RA"), QStringLiteral("CR-RB"), id) != PointsCommands::TransferOutcome::Moved)
                    stop(QStringLiteral("row transfer refused"));
                return true;
            };
        } else if (kind == QLatin1String("delete-customer")) {
            // The customer window deletes CR-D001, CR-D002, ... with their tickets.
            customers = std::make_unique<FRMHYDA>(state);
            if (!customers->load())
                stop(QStringLiteral("the customer window did not load"));
            step = [&](qint64) {
                const QString kh = c.scalar(QStringLiteral("select min(kh) from hyda where kh like 'CR-D%'")).toString();
                if (kh.isEmpty())
                    return false;
                customers->customers()->moveTo(customers->customers()->indexOf(QStringLiteral("kh=") + sqlQuote(kh)));
                if (customers->customerNumber() != kh)
                    stop(QStringLiteral("the window shows %1 instead of %2").arg(customers->customerNumber(), kh));
                say("begin");
                customers->findChild<QAction *>(QStringLiteral("delete"))->trigger();
                return true;
            };
        } else if (kind == QLatin1String("rights")) {
            // The rights window saves the operator's rights, one set and the other by turns.
            rights = std::make_unique<Frm_czyset>(state);
            if (!rights->load())
                stop(QStringLiteral("the rights window did not load"));
            auto *combo = rights->findChild<QComboBox *>(QStringLiteral("combczy"));
            combo->setCurrentIndex(combo->findText(kOperator));
            rights->CzyqxStar();
            step = [&](qint64 k) {
                auto *list = rights->findChild<QListWidget *>(QStringLiteral("ListView1"));
                for (int i = 0; i < list->count(); ++i)
                    list->item(i)->setCheckState(QList<int>(k % 2 ? QList<int>{0, 2, 5} : QList<int>{1, 3, 4}).contains(i) ? Qt::Checked : Qt::Unchecked);
                say("begin");
                rights->toolbarClicked(QStringLiteral("save"));
                return true;
            };
        } else {
            area = std::make_unique<ItineraryArea>(state);
            area->load();
            area->setCustomer(kind == QLatin1String("refund") ? QStringLiteral("CR-RF") : QStringLiteral("CR-SV"));
            area->setEditMode();
            if (kind == QLatin1String("refund")) {
                // Refund or void of CR-RF's tickets, one after the other in id order.
                step = [&](qint64) {
                    const QVariant id = c.scalar(QStringLiteral("select min(id) from hyxc where kh='CR-RF' and zt='正常'"));
                    if (id.isNull())
                        return false;
                    select(*area, id.toLongLong());
                    say("begin");
                    id.toLongLong() % 2 ? area->menu_tp_Click() : area->menu_zf_Click();
                    return true;
                };
            } else {
                // New ticket rows typed into CR-SV's grid and saved with their points.
                area->findChild<QCheckBox *>(QStringLiteral("ChCKJFjS"))->setChecked(true);
                step = [&](qint64 k) {
                    if (area->model()->rowCount() >= 300)
                        return false;
                    area->add_Click();
                    const int row = area->model()->rowCount() - 1;
                    const QStringList cells = {"2024-05-01", "成都", "上海", "3U8888", "Y", QStringLiteral("SV-%1").arg(k), "1",
                                               QString::number(100 + scramble(k) % 900), "", "", QString::number(1 + scramble(k + 7) % 9), "川航"};
                    for (int i = 0; i < cells.size(); ++i)
                        if (!cells.at(i).isEmpty())
                            area->model()->setCell(row, 3 + i, cells.at(i));
                    area->grid()->setCurrentIndex(area->model()->index(row, 2));
                    say("begin");
                    area->save_Click();
                    return true;
                };
            }
        }
        if (!step)
            stop(QStringLiteral("unknown kind ") + kind);
        say("ready");
        for (qint64 k = 1; step(k); ++k)
            say("done");
        say("exhausted");
    } catch (const DbException &e) {
        stop(e.description());
    }
    return 0;
}
