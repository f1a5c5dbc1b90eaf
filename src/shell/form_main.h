#pragma once

#include "shell/windowregistry.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class AppState;
class BackgroundArea;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;

// The program's main window: menus, status bar, picture, and the work area
// that holds every other window.
class form_main : public QMainWindow
{
    Q_OBJECT
public:
    explicit form_main(AppState &state, QWidget *parent = nullptr);
    ~form_main() override;

    // The load steps: busy pointer, caption, About text, picture, report menu.
    // Database errors propagate to the caller (the start routine reports them).
    void load();
    // Ends the busy pointer set by load(), once.
    void endBusyPointer();

    QAction *action(const QString &name) const;
    QMdiArea *mdiArea() const;
    BackgroundArea *backgroundArea() const { return m_area; }

    // Status bar panels, 1 to 8.
    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;

    WindowRegistry &registry() { return m_registry; }
    // Opens (or brings back) the window of a type; returns it, or nullptr
    // when it could not be opened (the reason has been shown).
    QWidget *openWindow(const QString &typeName);
    // Report menu item i: 0 the customer points query, i >= 1 a new period income window.
    QWidget *openReport(int index);

    // The report menu from the catalogue (placeholder "caxune" when empty).
    void menu_load();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void refreshStatus();
    QAction *addItem(QMenu *menu, const QString &name, const QString &text, const QString &shortcut = QString());
    QWidget *showWindow(QWidget *window, WindowEntry::Kind kind);
    // Builds a window of a registered type and loads its data; nullptr when loading failed.
    QWidget *createLoaded(const WindowEntry &entry, int argument);
    void relogin();
    void backup();
    // Replaces the archive with a backup's content and logs in again on it.
    void restore();
    // Closes every window but this one; false when one stays open (a record kept unsaved).
    bool closeDataWindows();
    void printSetup();
    // 帮助 › 内容 (false) or 索引 (true), in the one manual window.
    void showHelp(bool index);

    AppState &m_state;
    BackgroundArea *m_area = nullptr;
    QMenu *m_reportMenu = nullptr;
    QList<QLabel *> m_panels;
    QTimer *m_clock = nullptr;
    bool m_insertMode = true;
    bool m_busyPointer = false;
    WindowRegistry m_registry;
    QHash<QString, QPointer<QWidget>> m_open;
};
