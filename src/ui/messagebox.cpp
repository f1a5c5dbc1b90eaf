#include "ui/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace {

Msg::Handler &handler()
{
    static Msg::Handler h;
    return h;
}

QMessageBox::Icon boxIcon(Msg::Icon icon)
{
    switch (icon) {
    case Msg::Icon::Information:
        return QMessageBox::Information;
    case Msg::Icon::Exclamation:
        return QMessageBox::Warning;
    case Msg::Icon::Stop:
        return QMessageBox::Critical;
    case Msg::Icon::Question:
        return QMessageBox::Question;
    case Msg::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

namespace Msg {

QString programTitle()
{
    return QStringLiteral("Avelor");
}

void setHandler(Handler h)
{
    handler() = std::move(h);
}

Answer show(const QString &text, Icon icon, Buttons buttons, const QString &title, QWidget *parent)
{
    const Shown shown{text, title.isEmpty() ? programTitle() : title, icon, buttons};
    if (handler())
        return handler()(shown);

    QMessageBox box(boxIcon(icon), shown.title, text, QMessageBox::NoButton,
                    parent ? parent : QApplication::activeWindow());
    switch (buttons) {
    case Buttons::Ok:
        box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        break;
    case Buttons::OkCancel: {
        QPushButton *ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
        box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole);
        box.setDefaultButton(ok);
        break;
    }
    case Buttons::YesNo:
    case Buttons::YesNoCancel: {
        QPushButton *yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
        if (buttons == Buttons::YesNoCancel)
            box.setEscapeButton(box.addButton(QStringLiteral("取消"), QMessageBox::RejectRole));
        box.setDefaultButton(yes);
        break;
    }
    }
    // A message must never sit under the busy pointer.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();
    const QMessageBox::ButtonRole role = box.buttonRole(box.clickedButton());
    switch (buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return role == QMessageBox::AcceptRole ? Answer::Ok : Answer::Cancel;
    case Buttons::YesNo:
        return role == QMessageBox::YesRole ? Answer::Yes : Answer::No;
    case Buttons::YesNoCancel:
        return role == QMessageBox::YesRole ? Answer::Yes : role == QMessageBox::NoRole ? Answer::No : Answer::Cancel;
    }
    return Answer::Cancel;
}

} // namespace Msg
