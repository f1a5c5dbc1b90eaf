#pragma once

// Controls found by their object names and used as the operator does; a
// missing control is a fault of the window or of the test, and stops the run.

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>

template <class T = QWidget>
T *child(const QObject *parent, const QString &name)
{
    T *found = parent->findChild<T *>(name);
    if (!found)
        qFatal("%s has no %s named %s", qPrintable(parent->objectName()), T::staticMetaObject.className(),
               qPrintable(name));
    return found;
}

inline QLineEdit *box(const QObject *parent, const QString &name) { return child<QLineEdit>(parent, name); }

// A tool bar button or menu command, by its key.
inline void press(const QObject *window, const QString &key) { child<QAction>(window, key)->trigger(); }

inline void click(const QObject *window, const QString &button) { child<QAbstractButton>(window, button)->click(); }

// Replaces a box's whole text as pasting does: the box reports it as edited,
// so it reaches the record it is bound to. Chinese text, control characters
// and emoji pass as they would from the clipboard.
inline void paste(QLineEdit *box, const QString &text)
{
    box->selectAll();
    box->insert(text);
}

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
