#include "shell/form_main.h"

#include "domain/shell/programdata.h"
#include "domain/shell/appstate.h"
#include "shell/backgroundarea.h"
#include "shell/frm_pathset.h"
#include "shell/frmhelp.h"
#include "shell/frmlogin.h"
#include "shell/keystate.h"
#include "shell/modulback.h"
#include "shell/modulrestore.h"
#include "domain/operators/rights.h"
#include "shell/systeminfo.h"
#include "domain/reports/clsmenu.h"
#include "store/recordset.h"
#include "ui/errorboundary.h"
#include "ui/loadable.h"
#include "ui/dialogs.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTimer>

namespace {

// Menu commands and the window each opens.
const QHash<QString, QString> &windowOfAction()
{
    static const QHash<QString, QString> map = {
        {QStringLiteral("menu_reportSet"), QStringLiteral("FrmreportSet")},
        {QStringLiteral("menu_set_0"), QStringLiteral("FRM_KXLX")},
        {QStringLiteral("HYDJ"), QStringLiteral("FRMHYDA")},
        {QStringLiteral("HYQK"), QStringLiteral("FrmJfzr")},
        {QStringLiteral("hyjstj"), QStringLiteral("frmkhFind")},
        {QStringLiteral("hykxstj"), QStringLiteral("frmhangkongFind")},
        {QStringLiteral("menu_gerenchupiao"), QStringLiteral("frmgerenFind")},
        {QStringLiteral("menu_daoda"), QStringLiteral("frmdaodaFind")},
        {QStringLiteral("menu_hyxc"), QStringLiteral("frmHuiYuanFind")},
        {QStringLiteral("MENU_SDSRfIND"), QStringLiteral("frmsdSRFind")},
        {QStringLiteral("menu_sys_0"), QStringLiteral("Frm_czyset")},
        {QStringLiteral("menu_sys_1"), QStringLiteral("Frm_czyrz")},
        {QStringLiteral("menu_sys_2"), QStringLiteral("frm_czy_password")},
        {QStringLiteral("menu_sys_7"), QStringLiteral("Frm_pathset")},
        {QStringLiteral("hlep5"), QStringLiteral("frmAbout")},
    };
    return map;
}

const QString kPeriodIncome = QStringLiteral("frmsdSRFind");

// A window's own 退出 closes its frame too, exactly as the frame's × does;
// a window that refuses to close (an unsaved record kept) keeps it.
class FrameCloser : public QObject
{
public:
    explicit FrameCloser(QMdiSubWindow *frame) : QObject(frame), m_frame(frame) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Close) {
            QPointer<QWidget> window = static_cast<QWidget *>(watched);
            QTimer::singleShot(0, m_frame, [frame = m_frame, window] {
                if (window && !window->isVisible() && frame->isVisible())
                    frame->close();
            });
        }
        return false;
    }

private:
    QMdiSubWindow *m_frame;
};

} // namespace

form_main::form_main(AppState &state, QWidget *parent) : QMainWindow(parent), m_state(state)
{
    setObjectName(QStringLiteral("form_main"));
    setWindowTitle(Msg::programTitle());
    m_area = new BackgroundArea(this);
    m_area->setObjectName(QStringLiteral("MDIArea"));
    setCentralWidget(m_area);
    buildMenus();
    buildStatusBar();
    registerProgramWindows(m_registry);
    resize(1100, 720);
    qApp->installEventFilter(this);
    // The program ends: every window goes, this one last.
    connect(&m_state, &AppState::programEndRequested, this, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            w->close();
    });
}

form_main::~form_main()
{
    qApp->removeEventFilter(this);
    if (m_busyPointer)
        QApplication::restoreOverrideCursor();
}

QAction *form_main::addItem(QMenu *menu, const QString &name, const QString &text, const QString &shortcut)
{
    QAction *a = text == QLatin1String("-") ? menu->addSeparator() : menu->addAction(text);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(QKeySequence(shortcut));
    const QString window = windowOfAction().value(name);
    if (!window.isEmpty())
        connect(a, &QAction::triggered, this, [this, window] { openWindow(window); });
    return a;
}

void form_main::buildMenus()
{
    QMenuBar *bar = menuBar();
    auto menu = [bar](const QString &name, const QString &text) {
        QMenu *m = bar->addMenu(text);
        m->setObjectName(name);
        m->menuAction()->setObjectName(name);
        return m;
    };

    QMenu *file = menu(QStringLiteral("file"), QStringLiteral("文件(&F)"));
    connect(addItem(file, QStringLiteral("file1"), QStringLiteral("打印设置")), &QAction::triggered, this,
            &form_main::printSetup);
    connect(addItem(file, QStringLiteral("file3"), QStringLiteral("重新登陆")), &QAction::triggered, this,
            &form_main::relogin);
    addItem(file, QStringLiteral("file4"), QStringLiteral("-"));
    addItem(file, QStringLiteral("menu_reportSet"), QStringLiteral("报表设计"));
    connect(addItem(file, QStringLiteral("file5"), QStringLiteral("退出"), QStringLiteral("Ctrl+Q")),
            &QAction::triggered, this, &QWidget::close);

    QMenu *setup = menu(QStringLiteral("menu_shezhi"), QStringLiteral("初始设置(&T)"));
    addItem(setup, QStringLiteral("menu_set_0"), QStringLiteral("&1.编码设置"), QStringLiteral("Ctrl+U"));
    addItem(setup, QStringLiteral("menu_set_1"), QStringLiteral("&2.款项类型"))->setVisible(false);

    QMenu *customers = menu(QStringLiteral("djlr"), QStringLiteral("客户信息(&D)"));
    addItem(customers, QStringLiteral("HYDJ"), QStringLiteral("&1.客户登记"), QStringLiteral("Ctrl+X"));
    addItem(customers, QStringLiteral("ll"), QStringLiteral("-"))->setVisible(false);
    addItem(customers, QStringLiteral("HYQK"), QStringLiteral("&2.积分转让"), QStringLiteral("Ctrl+S"));
    QAction *skmx = addItem(customers, QStringLiteral("skmx"), QStringLiteral("&3.积分清除"));
    skmx->setVisible(false);
    skmx->setEnabled(false);
    QAction *hyyq = addItem(customers, QStringLiteral("hyyq"), QStringLiteral("&4.会员延期"));
    hyyq->setVisible(false);
    hyyq->setEnabled(false);

    QMenu *find = menu(QStringLiteral("menu_find"), QStringLiteral("汇总查询(&S)"));
    addItem(find, QStringLiteral("hyjstj"), QStringLiteral("&1.客户积分查询"))->setVisible(false);
    addItem(find, QStringLiteral("hykxstj"), QStringLiteral("&1.航空公司出票统计"));
    addItem(find, QStringLiteral("menu_gerenchupiao"), QStringLiteral("&2.个人出票统计"));
    addItem(find, QStringLiteral("menu_daoda"), QStringLiteral("&3.航线出票统计"));
    addItem(find, QStringLiteral("menu_hyxc"), QStringLiteral("&4.会员行程查询"));
    addItem(find, QStringLiteral("MENU_SDSRfIND"), QStringLiteral("&6.时段收入查询"))->setVisible(false);

    m_reportMenu = menu(QStringLiteral("menu_f"), QStringLiteral("查询(&F)"));
    QAction *placeholder = m_reportMenu->addAction(QStringLiteral("caxune"));
    placeholder->setObjectName(QStringLiteral("mFind_0"));
    connect(placeholder, &QAction::triggered, this, [this] { openReport(0); });

    QMenu *system = menu(QStringLiteral("sys_set"), QStringLiteral("系统设置(&M)"));
    addItem(system, QStringLiteral("menu_sys_0"), QStringLiteral("&1.操作员设置"));
    addItem(system, QStringLiteral("menu_sys_1"), QStringLiteral("&2.操作员日志"));
    addItem(system, QStringLiteral("menu_sys_2"), QStringLiteral("&3.口令变更"));
    addItem(system, QStringLiteral("menu_sys_3"), QStringLiteral("-"));
    QAction *backup = addItem(system, QStringLiteral("menu_sys_4"), QStringLiteral("&4.数据备份"));
    connect(backup, &QAction::triggered, this, &form_main::backup);
    // Restoring goes with the right to back up.
    QAction *restore = addItem(system, QStringLiteral("menu_sys_5"), QStringLiteral("&5.数据恢复"));
    connect(restore, &QAction::triggered, this, &form_main::restore);
    connect(backup, &QAction::enabledChanged, restore, &QAction::setEnabled);
    addItem(system, QStringLiteral("menu_sys_6"), QStringLiteral("-"));
    addItem(system, QStringLiteral("menu_sys_7"), QStringLiteral("选择数据库"));

    QMenu *help = menu(QStringLiteral("hlep"), QStringLiteral("帮助(&H)"));
    connect(addItem(help, QStringLiteral("hlep1"), QStringLiteral("内容")), &QAction::triggered, this,
            [this] { showHelp(false); });
    connect(addItem(help, QStringLiteral("help2"), QStringLiteral("索引")), &QAction::triggered, this,
            [this] { showHelp(true); });
    addItem(help, QStringLiteral("hlep3"), QStringLiteral("-"));
    connect(addItem(help, QStringLiteral("hlep4"), QStringLiteral("技术支持")), &QAction::triggered, this,
            [] { Msg::information(SystemInfo::supportText(SystemInfo::settingsFile()), QStringLiteral("技术支持")); });
    addItem(help, QStringLiteral("hlep5"), QStringLiteral("关于...."));

    // Rights open these; nothing closes them again.
    for (const QString &name : Rights::controlledActions())
        action(name)->setEnabled(false);
}

void form_main::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    const QList<int> widths = {140, 180, 50, 50, 50, 70, 90, 0};
    for (int i = 0; i < 8; ++i) {
        auto *panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusBar1_%1").arg(i + 1));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setAlignment(Qt::AlignCenter);
        if (widths.at(i) > 0) {
            panel->setMinimumWidth(widths.at(i));
            bar->addPermanentWidget(panel);
        } else {
            panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            bar->addPermanentWidget(panel, 1);
        }
        m_panels << panel;
    }
    // Panel 8 stretches; keep the order 1..8 from left to right.
    m_panels[0]->setText(QStringLiteral("数据管理系统"));
    m_panels[1]->setText(QStringLiteral("管理人:"));
    m_panels[4]->setText(QStringLiteral("INS"));
    m_clock = new QTimer(this);
    connect(m_clock, &QTimer::timeout, this, &form_main::refreshStatus);
    m_clock->start(1000);
    refreshStatus();
}

void form_main::refreshStatus()
{
    // A lock key whose state nobody can tell leaves its panel empty.
    const auto showLock = [](QLabel *panel, const QString &name, std::optional<bool> on) {
        panel->setText(on ? name : QString());
        panel->setEnabled(on.value_or(false));
    };
    showLock(m_panels[2], QStringLiteral("CAPS"), KeyState::capsLock());
    showLock(m_panels[3], QStringLiteral("NUM"), KeyState::numLock());
    m_panels[4]->setEnabled(m_insertMode);
    const QDateTime now = QDateTime::currentDateTime();
    m_panels[5]->setText(now.toString(QStringLiteral("HH:mm")));
    m_panels[6]->setText(now.toString(QStringLiteral("yyyy-MM-dd")));
}

bool form_main::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Insert && !key->isAutoRepeat() && watched->isWidgetType()) {
            m_insertMode = !m_insertMode;
            m_panels[4]->setEnabled(m_insertMode);
        } else if (key->key() == Qt::Key_CapsLock || key->key() == Qt::Key_NumLock) {
            QTimer::singleShot(50, this, &form_main::refreshStatus);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void form_main::setPanelText(int panel, const QString &text)
{
    if (panel >= 1 && panel <= m_panels.size())
        m_panels[panel - 1]->setText(text);
}

QString form_main::panelText(int panel) const
{
    return panel >= 1 && panel <= m_panels.size() ? m_panels[panel - 1]->text() : QString();
}

QAction *form_main::action(const QString &name) const
{
    return findChild<QAction *>(name);
}

QMdiArea *form_main::mdiArea() const
{
    return m_area;
}

void form_main::load()
{
    if (!m_busyPointer) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_busyPointer = true;
    }
    setWindowTitle(Msg::programTitle() + QStringLiteral(" 数据位置 ") + m_state.dataFolder() + m_state.databaseFile());
    action(QStringLiteral("hlep5"))->setText(QStringLiteral("关于") + Msg::programTitle());
    // A missing picture must not stop the program: the area stays plain.
    m_area->loadPicture(programPicturePath());
    // On a server nobody has logged in yet: the lobby reads no catalogue, the
    // login builds the menu as the operator.
    if (!m_state.connection().isServer() || !m_state.currentOperator().isEmpty())
        menu_load();
}

void form_main::endBusyPointer()
{
    if (m_busyPointer) {
        m_busyPointer = false;
        QApplication::restoreOverrideCursor();
    }
}

void form_main::menu_load()
{
    Recordset rs;
    rs.open(Clsmenu::catalogueSql(), &m_state.connection());
    if (rs.recordCount() < 1)
        return;
    // Rebuilding replaces every item (the first keeps its name).
    const QList<QAction *> old = m_reportMenu->actions();
    for (QAction *a : old) {
        m_reportMenu->removeAction(a);
        // Deleted later, so its name goes now: action("mFind_0") must find the new item.
        a->setObjectName(QString());
        a->deleteLater();
    }
    for (int i = 0; i < rs.recordCount(); ++i) {
        rs.moveTo(i);
        QAction *a = m_reportMenu->addAction(rs.text(QStringLiteral("report_name")));
        a->setObjectName(QStringLiteral("mFind_%1").arg(i));
        a->setData(rs.text(QStringLiteral("report_sql")));
        connect(a, &QAction::triggered, this, [this, i] { openReport(i); });
    }
}

QWidget *form_main::showWindow(QWidget *window, WindowEntry::Kind kind)
{
    switch (kind) {
    case WindowEntry::Kind::MdiChild: {
        QMdiSubWindow *sub = m_area->addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setObjectName(window->objectName() + QStringLiteral("_frame"));
        window->installEventFilter(new FrameCloser(sub));
        sub->show();
        window->show();
        m_area->setActiveSubWindow(sub);
        break;
    }
    case WindowEntry::Kind::Modeless:
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        window->raise();
        window->activateWindow();
        break;
    case WindowEntry::Kind::Modal:
        break;
    }
    return window;
}

QWidget *form_main::createLoaded(const WindowEntry &entry, int argument)
{
    QWidget *window = entry.create(entry.kind == WindowEntry::Kind::MdiChild ? nullptr : this, argument);
    if (!window)
        return nullptr;
    auto *loadable = dynamic_cast<Loadable *>(window);
    bool loaded = true;
    if (loadable)
        loaded = ErrorBoundary::run([&] { loaded = loadable->load(); }) && loaded;
    if (!loaded) {
        delete window;
        return nullptr;
    }
    return window;
}

QWidget *form_main::openWindow(const QString &typeName)
{
    const WindowEntry *entry = m_registry.find(typeName);
    if (!entry)
        return nullptr;
    if (QWidget *existing = m_open.value(typeName)) {
        if (auto *sub = qobject_cast<QMdiSubWindow *>(existing->parentWidget())) {
            sub->showNormal();
            m_area->setActiveSubWindow(sub);
        } else {
            existing->showNormal();
            existing->raise();
            existing->activateWindow();
        }
        return existing;
    }
    QWidget *window = createLoaded(*entry, 0);
    if (!window)
        return nullptr;
    if (entry->kind == WindowEntry::Kind::Modal) {
        if (auto *dialog = qobject_cast<QDialog *>(window))
            dialog->exec();
        delete window;
        return nullptr;
    }
    m_open.insert(typeName, window);
    return showWindow(window, entry->kind);
}

QWidget *form_main::openReport(int index)
{
    if (index == 0)
        return openWindow(QStringLiteral("frmkhFind"));
    // Each choice makes a new period income window; earlier ones stay open.
    const WindowEntry *entry = m_registry.find(kPeriodIncome);
    if (!entry)
        return nullptr;
    QWidget *window = createLoaded(*entry, index);
    if (!window)
        return nullptr;
    const QAction *item = action(QStringLiteral("mFind_%1").arg(index));
    window->setWindowTitle(item ? item->text() : QString());
    return showWindow(window, entry->kind);
}

void form_main::relogin()
{
    frmLogin login(m_state, this, this);
    if (!ErrorBoundary::run([&] { login.load(); }))
        return;
    // Cancelling ends the program the way 退出 does: a window with an unsaved
    // record may still ask, and going back there keeps the program running.
    if (login.exec() != QDialog::Accepted)
        close();
}

void form_main::backup()
{
    Modulback::data_backup(m_state.connection());
}

bool form_main::closeDataWindows()
{
    m_area->closeAllSubWindows();
    for (const QPointer<QWidget> &window : std::as_const(m_open))
        if (window && window->isWindow())
            window->close();
    // Closed windows go now, with every recordset they held on the archive.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const QMdiSubWindow *sub : m_area->subWindowList())
        if (sub->isVisible())
            return false;
    for (const QPointer<QWidget> &window : std::as_const(m_open))
        if (window && window->isWindow() && window->isVisible())
            return false;
    return true;
}

void form_main::restore()
{
    // Opens where 数据备份 puts its files.
    const QString backups = QFileInfo(Modulback::backupPathFor(m_state.connection().location())).absolutePath();
    const QString backup = Dialogs::current().openFileName(this, QStringLiteral("数据恢复"),
                                                           QStringLiteral("备份文件 (*.bak);;所有文件 (*)"), backups);
    if (backup.isEmpty())
        return;
    if (Msg::show(QStringLiteral("将用“%1”中的数据替换当前全部数据（当前数据另存一份）。确认恢复吗？").arg(backup),
                  Msg::Icon::Question, Msg::Buttons::OkCancel)
        != Msg::Answer::Ok)
        return;
    if (!closeDataWindows()) {
        Msg::exclamation(QStringLiteral("请先保存或取消正在编辑的记录，关闭所有窗口后再恢复数据。"));
        return;
    }
    if (!Modulrestore::data_restore(m_state.connection(), backup))
        return;
    // The restored archive has operators and rights of its own: everyone logs in again.
    for (const QString &name : Rights::controlledActions())
        action(name)->setEnabled(false);
    m_state.setCurrentOperator(QString());
    if (!ErrorBoundary::run([this] {
            m_state.connection().open(m_state.connectionText());
            menu_load();
        })) {
        m_state.endProgram();
        return;
    }
    relogin();
}

void form_main::showHelp(bool index)
{
    if (auto *manual = qobject_cast<frmHelp *>(openWindow(QStringLiteral("frmHelp"))))
        index ? manual->showIndex() : manual->showContents();
}

void form_main::printSetup()
{
    // What is chosen here holds for every later preview and print.
    if (Dialogs::current().printSetup(this, &Dialogs::printer()))
        Dialogs::setPrinterSetUp(true);
}

void form_main::closeEvent(QCloseEvent *event)
{
    // Closing the main window ends the program and every window in it, unless
    // a window with an unsaved record is told to stay (its 取消).
    if (!m_state.endRequested() && !closeDataWindows()) {
        event->ignore();
        return;
    }
    event->accept();
    if (!m_state.endRequested())
        m_state.endProgram();
}
