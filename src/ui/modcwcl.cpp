#include "ui/modcwcl.h"

#include "ui/errorboundary.h"
#include "ui/messagebox.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

QString ModCWCl::errorText(const DbError &error)
{
    if (error.number == DbErrorCode::GeneralFailure)
        return QStringLiteral("数据有误，请重新输入!") + QString::number(error.number) + error.description;
    return QStringLiteral("错误号 ") + QString::number(error.number) + error.description + QStringLiteral("，退出");
}

void ModCWCl::err_show(const DbError &error)
{
    // Another seat's lock and a row changed meanwhile have plain messages of their own.
    if (error.kind != DbErrorKind::Failure && error.kind != DbErrorKind::Duplicate) {
        ErrorBoundary::report(error);
        return;
    }
    Msg::stop(errorText(error));
}

void form_center(QWidget *window)
{
    if (!window)
        return;
    QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize size = window->frameGeometry().size();
    window->move(area.left() + (area.width() - size.width()) / 2, area.top() + (area.height() - size.height()) / 2);
}
