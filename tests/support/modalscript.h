#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>

// Answers the modal windows that come up, in order, like an operator at the
// keyboard. Each step names the window it expects; a window that was not
// expected is noted and closed at once, and so is a window whose button is
// missing (failing the test there), so that nothing waits for the timeout.
class ModalScript : public QObject
{
public:
    using Action = std::function<void(QWidget *)>;

    explicit ModalScript(QStringList *events) : m_events(events)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(10);
    }

    ModalScript &then(const QString &window, Action action)
    {
        m_steps << Step{window, std::move(action)};
        return *this;
    }
    bool finished() const { return m_steps.isEmpty(); }

    static void click(QWidget *window, const QString &button)
    {
        if (auto *b = window->findChild<QAbstractButton *>(button)) {
            b->click();
            return;
        }
        QTest::qFail(qPrintable(QStringLiteral("%1 has no button %2").arg(window->objectName(), button)), __FILE__,
                     __LINE__);
        window->close();
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
        // Act from the event loop, not from inside the poll.
        QTimer::singleShot(0, modal, [modal, action = m_steps.takeFirst().action] { action(modal); });
    }

    QStringList *m_events;
    QList<Step> m_steps;
    QPointer<QWidget> m_handled;
    QTimer m_timer;
};
