#pragma once

#include <QHash>
#include <QString>
#include <functional>

class QWidget;

// How a menu command finds its window: each window type registers how it is
// made and shown. The main window keeps one instance per type. `create`
// builds widgets only (the registry then loads the window's data); the
// argument is the report number of a period income window, 0 otherwise.
struct WindowEntry
{
    enum class Kind { MdiChild, Modeless, Modal };
    Kind kind = Kind::MdiChild;
    std::function<QWidget *(QWidget *parent, int argument)> create;
};

class WindowRegistry
{
public:
    void add(const QString &typeName, WindowEntry entry) { m_entries.insert(typeName, std::move(entry)); }
    const WindowEntry *find(const QString &typeName) const
    {
        const auto it = m_entries.constFind(typeName);
        return it == m_entries.constEnd() ? nullptr : &it.value();
    }

private:
    QHash<QString, WindowEntry> m_entries;
};

// Registers every window of the program (windowcatalog.cpp).
void registerProgramWindows(WindowRegistry &registry);
