#include "shell/frmsysinfo.h"

#include "shell/systeminfo.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmSysInfo::frmSysInfo(Connection &connection, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmSysInfo"));
    setWindowTitle(QStringLiteral("系统信息"));
    auto *text = new QPlainTextEdit(SystemInfo::report(connection).join(QLatin1Char('\n')), this);
    text->setObjectName(QStringLiteral("txtInfo"));
    text->setReadOnly(true);
    auto *copy = new QPushButton(QStringLiteral("复制(&C)"), this);
    copy->setObjectName(QStringLiteral("cmdCopy"));
    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    connect(copy, &QPushButton::clicked, this, [text] { QApplication::clipboard()->setText(text->toPlainText()); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(copy);
    buttons->addWidget(ok);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(text, 1);
    layout->addLayout(buttons);
    resize(560, 340);
}
