#include "shell/startup.h"

#include "domain/shell/appstate.h"
#include "shell/form_main.h"
#include "shell/frm_pathset.h"
#include "shell/frmlogin.h"
#include "ui/settings.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QFileInfo>

Startup::Startup(AppState &state) : m_state(state) {}

Startup::~Startup() = default;

void Startup::storeDatabaseArgument(const QString &file)
{
    const QFileInfo info(file);
    Settings::saveLocation(Frm_pathset::folderOf(info.absoluteFilePath()), info.fileName());
}

bool Startup::run()
{
    try {
        const QString folder = Settings::dataFolder();
        const QString file = Settings::databaseFile();
        m_state.setLocation(folder, file);
        if (folder == Settings::kUnset) {
            Frm_pathset location(m_state);
            bool cancelled = false;
            QObject::connect(&location, &Frm_pathset::cancelled, [&cancelled] { cancelled = true; });
            location.exec();
            if (cancelled)
                return false;
            Settings::saveLocation(m_state.dataFolder(), m_state.databaseFile());
        }

        // Another seat's lock is waited for a while under the busy pointer.
        Connection::setDefaultBusyTimeout(Settings::busyTimeout());
        Connection::setDefaultBusyObserver([](bool waiting) {
            if (waiting)
                QApplication::setOverrideCursor(Qt::WaitCursor);
            else
                QApplication::restoreOverrideCursor();
        });
        m_state.connection().open(m_state.connectionText());

        m_main = std::make_unique<form_main>(m_state);
        m_main->showMaximized();
        m_main->load();

        bool accepted = false;
        {
            // The login window is a child of the main window: it must be gone
            // before the main window is, or the main window would delete it too.
            frmLogin login(m_state, m_main.get(), m_main.get());
            login.load();
            accepted = login.exec() == QDialog::Accepted;
        }
        if (!accepted) {
            m_main.reset();
            return false;
        }
        return true;
    } catch (const DbException &e) {
        fail(e.description() + QString::number(e.number()));
        return false;
    }
}

void Startup::fail(const QString &message)
{
    // Report, let the user choose another database for the next start, and end.
    m_main.reset();
    Msg::show(message, Msg::Icon::None);
    Frm_pathset location(m_state);
    location.exec();
    Settings::saveLocation(m_state.dataFolder(), m_state.databaseFile());
}
