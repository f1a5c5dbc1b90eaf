#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <functional>

class QPushButton;
class QToolBar;
class QWidget;

// The record tool bar of the working windows: one button per (caption, key),
// each named by its key; a click calls the handler with the key.
QToolBar *makeRecordToolbar(QWidget *parent, const QList<QPair<QString, QString>> &buttons,
                            std::function<void(const QString &key)> handler);

// The usual ten buttons: 新增 修改 保存 取消 删除 查询 预览 打印 帮助 退出.
QList<QPair<QString, QString>> standardRecordButtons();

// The four record moves (first, previous, next, last) with their tooltips,
// named by nameFormat ("Cmdmove_%1") with firstIndex, 1 + firstIndex, ...
QList<QPushButton *> makeMoveButtons(QWidget *parent, const QString &nameFormat, int firstIndex,
                                     std::function<void(int index)> clicked);
