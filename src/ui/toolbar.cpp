#include "ui/toolbar.h"

#include <QAction>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>

namespace {

QStyle::StandardPixmap iconFor(const QString &key)
{
    static const QHash<QString, QStyle::StandardPixmap> icons = {
        {QStringLiteral("new"), QStyle::SP_FileIcon},
        {QStringLiteral("modify"), QStyle::SP_FileDialogDetailedView},
        {QStringLiteral("modefy"), QStyle::SP_FileDialogDetailedView},
        {QStringLiteral("edit"), QStyle::SP_FileDialogDetailedView},
        {QStringLiteral("save"), QStyle::SP_DialogSaveButton},
        {QStringLiteral("cancel"), QStyle::SP_DialogCancelButton},
        {QStringLiteral("cancl"), QStyle::SP_DialogCancelButton},
        {QStringLiteral("delete"), QStyle::SP_TrashIcon},
        {QStringLiteral("find"), QStyle::SP_FileDialogContentsView},
        {QStringLiteral("printview"), QStyle::SP_FileDialogInfoView},
        {QStringLiteral("view"), QStyle::SP_FileDialogInfoView},
        {QStringLiteral("print"), QStyle::SP_DriveFDIcon},
        {QStringLiteral("help"), QStyle::SP_DialogHelpButton},
        {QStringLiteral("exit"), QStyle::SP_DialogCloseButton},
    };
    return icons.value(key, QStyle::SP_CustomBase);
}

} // namespace

QToolBar *makeRecordToolbar(QWidget *parent, const QList<QPair<QString, QString>> &buttons,
                            std::function<void(const QString &key)> handler)
{
    auto *bar = new QToolBar(parent);
    bar->setObjectName(QStringLiteral("Toolbar1"));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setIconSize(QSize(20, 20));
    for (const auto &[caption, key] : buttons) {
        QAction *a = bar->addAction(caption);
        a->setObjectName(key);
        const QStyle::StandardPixmap icon = iconFor(key);
        if (icon != QStyle::SP_CustomBase)
            a->setIcon(parent->style()->standardIcon(icon));
        QObject::connect(a, &QAction::triggered, bar, [handler, key = key] { handler(key); });
    }
    return bar;
}

QList<QPair<QString, QString>> standardRecordButtons()
{
    return {{QStringLiteral("新增"), QStringLiteral("new")},      {QStringLiteral("修改"), QStringLiteral("modify")},
            {QStringLiteral("保存"), QStringLiteral("save")},     {QStringLiteral("取消"), QStringLiteral("cancel")},
            {QStringLiteral("删除"), QStringLiteral("delete")},   {QStringLiteral("查询"), QStringLiteral("find")},
            {QStringLiteral("预览"), QStringLiteral("printview")}, {QStringLiteral("打印"), QStringLiteral("print")},
            {QStringLiteral("帮助"), QStringLiteral("help")},     {QStringLiteral("退出"), QStringLiteral("exit")}};
}

QList<QPushButton *> makeMoveButtons(QWidget *parent, const QString &nameFormat, int firstIndex,
                                     std::function<void(int index)> clicked)
{
    const QList<QPair<QString, QStyle::StandardPixmap>> moves = {{QStringLiteral("首记录"), QStyle::SP_MediaSkipBackward},
                                                                 {QStringLiteral("上一记录"), QStyle::SP_MediaSeekBackward},
                                                                 {QStringLiteral("下一记录"), QStyle::SP_MediaSeekForward},
                                                                 {QStringLiteral("最后记录"), QStyle::SP_MediaSkipForward}};
    QList<QPushButton *> buttons;
    for (int i = 0; i < moves.size(); ++i) {
        auto *b = new QPushButton(parent);
        b->setObjectName(nameFormat.arg(i + firstIndex));
        b->setIcon(parent->style()->standardIcon(moves.at(i).second));
        b->setToolTip(moves.at(i).first);
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, parent, [clicked, i] { clicked(i); });
        buttons << b;
    }
    return buttons;
}
