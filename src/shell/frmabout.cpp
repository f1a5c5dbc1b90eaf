#include "shell/frmabout.h"

#include "domain/shell/programdata.h"
#include "domain/shell/appstate.h"
#include "shell/frmsysinfo.h"
#include "ui/errorboundary.h"
#include "ui/messagebox.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSvgWidget>
#include <QVBoxLayout>

frmAbout::frmAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("关于 ") + Msg::programTitle());

    auto *picture = new QSvgWidget(programPicturePath(), this);
    picture->setObjectName(QStringLiteral("Image3"));
    picture->setFixedSize(150, 100);

    auto *title = new QLabel(Msg::programTitle(), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.8);
    big.setBold(true);
    title->setFont(big);
    auto *version = new QLabel(versionText(), this);
    version->setObjectName(QStringLiteral("lblVersion"));
    auto *description = new QLabel(QStringLiteral("航空客票代理 · 客户档案与会员积分管理"), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto *disclaimer = new QLabel(QStringLiteral("本程序供代理点内部使用。会员积分即为资金，请定期备份数据。"), this);
    disclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    disclaimer->setWordWrap(true);

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *sysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, &frmAbout::StartSysInfo);

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(version);
    text->addWidget(description);
    text->addStretch();
    auto *top = new QHBoxLayout;
    top->addWidget(picture);
    top->addLayout(text, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(disclaimer, 1);
    bottom->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(line);
    layout->addLayout(bottom);
    setMinimumWidth(480);
}

QString frmAbout::versionText()
{
    return QStringLiteral("版本 %1.%2.%3").arg(TORVANE_VERSION_MAJOR).arg(TORVANE_VERSION_MINOR).arg(TORVANE_VERSION_PATCH);
}

void frmAbout::StartSysInfo()
{
    // The program says what support needs to know itself: versions, the
    // engine, the archive's place, size and rows.
    AppState *state = AppState::current();
    if (!state || !state->connection().isOpen()) {
        Msg::show(QStringLiteral("此时系统信息不可用"), Msg::Icon::None);
        return;
    }
    ErrorBoundary::run([&] {
        frmSysInfo info(state->connection(), QApplication::activeWindow());
        info.exec();
    });
}
