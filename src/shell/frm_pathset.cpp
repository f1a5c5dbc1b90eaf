#include "shell/frm_pathset.h"

#include "domain/shell/programdata.h"
#include "domain/shell/appstate.h"
#include "shell/newdatabase.h"
#include "ui/settings.h"
#include "store/connection.h"
#include "store/serverroles.h"
#include "ui/busycursor.h"
#include "ui/dialogs.h"
#include "ui/messagebox.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QSvgWidget>
#include <QToolButton>
#include <QVBoxLayout>

Frm_pathset::Frm_pathset(AppState &state, QWidget *parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("Frm_pathset"));
    setWindowTitle(QStringLiteral("设置文件"));

    auto *picture = new QSvgWidget(programPicturePath(), this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setFixedSize(420, 140);

    auto *label = new QLabel(QStringLiteral("选择路径:"), this);
    label->setObjectName(QStringLiteral("Label1"));
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("Text1"));
    m_path->setReadOnly(true);
    m_path->setMinimumWidth(320);
    m_path->setText(state.databaseFile().isEmpty() || state.dataFolder() == Settings::kUnset
                        ? QString()
                        : state.dataFolder() + state.databaseFile());
    auto *browse = new QToolButton(this);
    browse->setObjectName(QStringLiteral("CmdFlHelp"));
    browse->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse->setToolTip(QStringLiteral("选择数据库文件"));
    connect(browse, &QToolButton::clicked, this, &Frm_pathset::CmdFlHelp_Click);

    // Several counters share an archive on a server: its URI, tried before it is kept.
    auto *serverLabel = new QLabel(QStringLiteral("服务器:"), this);
    serverLabel->setObjectName(QStringLiteral("Label2"));
    m_server = new QLineEdit(this);
    m_server->setObjectName(QStringLiteral("Text2"));
    m_server->setPlaceholderText(QStringLiteral("postgresql://用户@主机:5432/数据库"));
    if (Connection::isServerLocation(m_path->text()))
        m_server->setText(m_path->text());
    auto *connectButton = new QPushButton(QStringLiteral("连接(&L)"), this);
    connectButton->setObjectName(QStringLiteral("CmdServer"));
    connectButton->setAutoDefault(false);
    connect(connectButton, &QPushButton::clicked, this, &Frm_pathset::CmdServer_Click);
    // Whether what travels to the server (passwords, members' data) is encrypted.
    m_encryption = new QLabel(this);
    m_encryption->setObjectName(QStringLiteral("LabelTls"));
    if (m_state.connection().isServer())
        showEncryption(m_state.connection());

    auto *ok = new QPushButton(QStringLiteral("确定(&Y)"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &Frm_pathset::reject);

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_path, 1);
    row->addWidget(browse);
    auto *serverRow = new QHBoxLayout;
    serverRow->addWidget(serverLabel);
    serverRow->addWidget(m_server, 1);
    serverRow->addWidget(connectButton);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addLayout(row);
    layout->addLayout(serverRow);
    layout->addWidget(m_encryption);
    layout->addLayout(buttons);
}

void Frm_pathset::reject()
{
    emit cancelled();
    QDialog::reject();
}

QString Frm_pathset::folderOf(const QString &fullName)
{
    const qsizetype slash = fullName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fullName.left(slash + 1).trimmed();
}

void Frm_pathset::CmdFlHelp_Click()
{
    // Opens where the database is, or offers the delivered name in the home folder.
    const QString suggested = m_path->text().isEmpty() || Connection::isServerLocation(m_path->text())
                                  ? QDir::home().filePath(QStringLiteral("kvora.db"))
                                  : m_path->text();
    const QString chosen = Dialogs::current().locationFileName(
        this, QStringLiteral("选择数据库"), QStringLiteral("数据库 (*.db);;*.db (*.db)"), suggested);
    if (chosen.isEmpty())
        return;
    const QString full = NewDatabase::fileFor(chosen);
    if (!QFileInfo::exists(full) && !NewDatabase::offer(this, full))
        return;
    const QString folder = folderOf(full);
    const QString file = QFileInfo(full).fileName();
    m_state.setLocation(folder, file);
    m_path->setText(full);
    Settings::saveLocation(folder, file);
}

QPair<QString, QString> Frm_pathset::splitLocation(const QString &location)
{
    if (!Connection::isServerLocation(location))
        return {folderOf(location), QFileInfo(location).fileName()};
    // postgresql://user@host:port/ + kvora?host=...: the settings' "/" between them doubles the
    // slash, which the connection text reads as one.
    const qsizetype query = location.indexOf(QLatin1Char('?'));
    const qsizetype end = query < 0 ? location.size() : query;
    const qsizetype authority = location.indexOf(QLatin1String("://")) + 3;
    const qsizetype slash = end > 0 ? location.lastIndexOf(QLatin1Char('/'), end - 1) : -1;
    if (slash < authority)
        return {location.left(end) + QLatin1Char('/'), location.mid(end)};
    return {location.left(slash + 1), location.mid(slash + 1)};
}

void Frm_pathset::storeServerLocation(const QString &uri)
{
    Connection::rememberPassword(uri.trimmed());
    const auto [folder, file] = splitLocation(Connection::shownLocation(uri.trimmed()));
    Settings::saveLocation(folder, file);
}

QString Frm_pathset::askPassword(const QString &location)
{
    return QInputDialog::getText(nullptr, Msg::programTitle(),
                                 QStringLiteral("请输入数据库服务器的口令:\n") + location, QLineEdit::Password);
}

void Frm_pathset::CmdServer_Click()
{
    const QString uri = m_server->text().trimmed();
    if (!Connection::isServerLocation(uri)) {
        Msg::exclamation(QStringLiteral("服务器地址应以 postgresql:// 开头"));
        return;
    }
    // A location is kept only once it opens; a password typed into it is used, never kept.
    try {
        BusyCursor busy;
        Connection trial;
        trial.openLocation(uri);
        showEncryption(trial);
    } catch (const DbException &e) {
        Msg::stop(e.description());
        return;
    }
    Connection::rememberPassword(uri);
    const QString shown = Connection::shownLocation(uri);
    const auto [folder, file] = splitLocation(shown);
    m_state.setLocation(folder, file);
    m_path->setText(shown);
    m_server->setText(shown);
    Settings::saveLocation(folder, file);
}

void Frm_pathset::showEncryption(Connection &connection)
{
    bool encrypted = false;
    try {
        encrypted = ServerRoles::encrypted(connection);
    } catch (const DbException &) {
        m_encryption->clear();
        return;
    }
    m_encryption->setText(encrypted ? QStringLiteral("与服务器的连接已加密 (TLS)")
                                    : QStringLiteral("与服务器的连接未加密"));
}
