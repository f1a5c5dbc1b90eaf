#pragma once

// What the shell tests share: a record of the messages shown, a file dialog
// that answers with a fixed path, and a driver that answers modal windows.

#include "ui/dialogs.h"
#include "ui/messagebox.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>

// Qt reports a hidden action as disabled whatever it was set to; a hidden menu
// command is shown for a moment to read the state the rights left it in.
inline bool commandEnabled(QAction *action)
{
    if (action->isVisible())
        return action->isEnabled();
    action->setVisible(true);
    const bool enabled = action->isEnabled();
    action->setVisible(false);
    return enabled;
}

// Every message shown while it lives, answered with OK; also noted in a shared
// event list so the order of windows and messages can be checked.
class MessageLog
{
public:
    explicit MessageLog(QStringList *events = nullptr)
    {
        Msg::setHandler([this, events](const Msg::Shown &shown) {
            m_shown << shown;
            if (events)
                *events << QStringLiteral("message");
            return shown.buttons == Msg::Buttons::YesNo ? Msg::Answer::Yes : Msg::Answer::Ok;
        });
    }
    ~MessageLog() { Msg::setHandler({}); }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    const QList<Msg::Shown> &shown() const { return m_shown; }
    int count() const { return static_cast<int>(m_shown.size()); }
    QString text(int i = 0) const { return i < m_shown.size() ? m_shown.at(i).text : QString(); }
    Msg::Icon icon(int i = 0) const { return i < m_shown.size() ? m_shown.at(i).icon : Msg::Icon::None; }

private:
    QList<Msg::Shown> m_shown;
};

// The file dialog as the operator would answer it: the chosen path, or empty
// for cancel. Installed for its lifetime.
class FakeDialogs : public Dialogs
{
public:
    explicit FakeDialogs(const QString &answer = QString()) : m_answer(answer) { Dialogs::replace(this); }
    ~FakeDialogs() override { Dialogs::replace(nullptr); }

    void setAnswer(const QString &answer) { m_answer = answer; }
    int asked() const { return m_asked; }

    QString openFileName(QWidget *, const QString &, const QString &) override
    {
        ++m_asked;
        return m_answer;
    }
    QString saveFileName(QWidget *, const QString &, const QString &) override
    {
        ++m_asked;
        return m_answer;
    }
    bool print(QWidget *, QPrinter *) override { return false; }
    bool printSetup(QWidget *, QPrinter *) override { return false; }

    // Passwords typed in turn; once they run out, the password box is cancelled.
    void setPasswords(const QStringList &passwords) { m_passwords = passwords; }
    std::optional<QString> password(QWidget *, const QString &, const QString &) override
    {
        if (m_passwords.isEmpty())
            return std::nullopt;
        return m_passwords.takeFirst();
    }

private:
    QString m_answer;
    QStringList m_passwords;
    int m_asked = 0;
};

// Answers the modal windows that come up, in order, like an operator at the
// keyboard. Each step names the window it expects; a window that was not
// expected is closed at once (and noted), so no test can hang on it.
class ModalScript : public QObject
{
public:
    using Action = std::function<void(QWidget *)>;

    explicit ModalScript(QStringList *events) : m_events(events)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start();
    }

    ModalScript &then(const QString &window, Action action)
    {
        m_steps << Step{window, std::move(action)};
        return *this;
    }
    bool finished() const { return m_steps.isEmpty(); }

    static void click(QWidget *window, const QString &button)
    {
        if (auto *b = window->findChild<QAbstractButton *>(button))
            b->click();
    }

private:
    struct Step
    {
        QString window;
        Action action;
    };

    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_handled)
            return;
        m_handled = modal;
        *m_events << modal->objectName();
        if (m_steps.isEmpty() || m_steps.first().window != modal->objectName()) {
            *m_events << QStringLiteral("unexpected");
            modal->close();
            return;
        }
        const Step step = m_steps.takeFirst();
        // Act from the event loop, not from inside the poll.
        QTimer::singleShot(0, modal, [modal, step] { step.action(modal); });
    }

    QStringList *m_events;
    QList<Step> m_steps;
    QPointer<QWidget> m_handled;
    QTimer m_timer;
};
