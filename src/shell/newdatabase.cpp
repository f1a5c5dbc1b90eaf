#include "shell/newdatabase.h"

#include "store/databasecreator.h"
#include "ui/busycursor.h"
#include "ui/dialogs.h"
#include "ui/errorboundary.h"
#include "ui/messagebox.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace {

const QString kCaption = QStringLiteral("新建数据库");

// Asked twice, so a typing slip does not lock the administrator out.
std::optional<QString> askAdminPassword(QWidget *parent)
{
    for (;;) {
        const std::optional<QString> first =
            Dialogs::current().password(parent, kCaption, QStringLiteral("设置操作员 admin 的口令:"));
        if (!first)
            return std::nullopt;
        // A password of blanks only is as good as none.
        if (first->trimmed().isEmpty()) {
            Msg::show(QStringLiteral("口令不能为空,请重新输入!"), Msg::Icon::Exclamation, Msg::Buttons::Ok, kCaption,
                      parent);
            continue;
        }
        const std::optional<QString> second =
            Dialogs::current().password(parent, kCaption, QStringLiteral("再输入一次 admin 的口令:"));
        if (!second)
            return std::nullopt;
        if (*second == *first)
            return first;
        Msg::show(QStringLiteral("口令两次不一致,请重新输入!"), Msg::Icon::Exclamation, Msg::Buttons::Ok, kCaption,
                  parent);
    }
}

} // namespace

QString NewDatabase::fileFor(const QString &chosen)
{
    return QFileInfo(chosen).isDir() ? QDir(chosen).filePath(QStringLiteral("kvora.db")) : chosen;
}

bool NewDatabase::offer(QWidget *parent, const QString &path)
{
    const QString question = QStringLiteral("“%1”处没有数据库。\n要在这里新建一个空数据库吗?").arg(path);
    if (Msg::show(question, Msg::Icon::Question, Msg::Buttons::YesNo, kCaption, parent) != Msg::Answer::Yes)
        return false;
    const std::optional<QString> password = askAdminPassword(parent);
    if (!password)
        return false;
    const bool made = ErrorBoundary::run([&] {
        BusyCursor busy;
        DatabaseCreator::create(path, *password);
    });
    if (made)
        Msg::show(QStringLiteral("已新建空数据库。请以操作员 admin 和刚设置的口令登录。"), Msg::Icon::Information,
                  Msg::Buttons::Ok, kCaption, parent);
    return made;
}
