#pragma once

#include <QString>
#include <functional>

class QWidget;

// Every message of the program goes through here: a modal box titled with the
// program title (or the caller's title), the icon and buttons asked for, and
// the answer returned. Tests replace the boxes with a handler.
namespace Msg {

enum class Icon { None, Information, Exclamation, Stop, Question };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

struct Shown
{
    QString text;
    QString title;
    Icon icon = Icon::None;
    Buttons buttons = Buttons::Ok;
};

QString programTitle(); // "Avelor"

Answer show(const QString &text, Icon icon, Buttons buttons = Buttons::Ok, const QString &title = QString(),
            QWidget *parent = nullptr);

inline void information(const QString &text, const QString &title = QString())
{
    show(text, Icon::Information, Buttons::Ok, title);
}
inline void exclamation(const QString &text, const QString &title = QString())
{
    show(text, Icon::Exclamation, Buttons::Ok, title);
}
inline void stop(const QString &text, const QString &title = QString())
{
    show(text, Icon::Stop, Buttons::Ok, title);
}

using Handler = std::function<Answer(const Shown &)>;
// Test seam: while a handler is set no box is shown; the handler answers.
void setHandler(Handler handler);

} // namespace Msg
