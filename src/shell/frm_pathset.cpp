#include "shell/frm_pathset.h"

#include "shell/appstate.h"
#include "shell/backgroundarea.h"
#include "shell/newdatabase.h"
#include "shell/settings.h"
#include "ui/dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
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
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addLayout(row);
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
    const QString suggested = m_path->text().isEmpty() ? QDir::home().filePath(QStringLiteral("kvora.db"))
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
