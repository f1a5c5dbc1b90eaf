#pragma once

#include "ui/messagebox.h"

#include <QList>
#include <QStringList>

// Every message shown while it lives. A plain box is acknowledged; a question
// gets `answer` (Ok and Yes agree, Cancel and No decline, in whatever buttons
// the question has). With an event list, each message is noted there too, so
// the order of windows and messages can be checked.
class MessageLog
{
public:
    explicit MessageLog(QStringList *events = nullptr)
    {
        Msg::setHandler([this, events](const Msg::Shown &shown) {
            m_shown << shown;
            if (events)
                *events << QStringLiteral("message");
            const bool agree = answer == Msg::Answer::Ok || answer == Msg::Answer::Yes;
            switch (shown.buttons) {
            case Msg::Buttons::Ok:
                return Msg::Answer::Ok;
            case Msg::Buttons::OkCancel:
                return agree ? Msg::Answer::Ok : Msg::Answer::Cancel;
            case Msg::Buttons::YesNo:
                return agree ? Msg::Answer::Yes : Msg::Answer::No;
            case Msg::Buttons::YesNoCancel:
                break;
            }
            return answer == Msg::Answer::Ok ? Msg::Answer::Yes : answer;
        });
    }
    ~MessageLog() { Msg::setHandler({}); }
    MessageLog(const MessageLog &) = delete;
    MessageLog &operator=(const MessageLog &) = delete;

    const QList<Msg::Shown> &shown() const { return m_shown; }
    int count() const { return static_cast<int>(m_shown.size()); }
    QString text(int i = 0) const { return m_shown.value(i).text; }
    Msg::Icon icon(int i = 0) const { return m_shown.value(i).icon; }
    QString last() const { return m_shown.isEmpty() ? QString() : m_shown.last().text; }
    QStringList texts() const
    {
        QStringList all;
        for (const Msg::Shown &s : m_shown)
            all << s.text;
        return all;
    }
    void clear() { m_shown.clear(); }

    Msg::Answer answer = Msg::Answer::Ok;

private:
    QList<Msg::Shown> m_shown;
};
