#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <functional>

class Connection;

// The cell editors of the itinerary grid. Each commits when it closes (the
// text editor in upper case), and tells the grid where to go next: Enter one
// cell right, Up and Down one row, Esc stays.
class ItineraryDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ItineraryDelegate(QObject *parent = nullptr) : QStyledItemDelegate(parent) {}

    // Writes what the open editor holds into its cell and closes it (before a
    // command reads the cells).
    void commitOpenEditor();

signals:
    void moveRequested(int rowStep, int columnStep);

protected:
    bool eventFilter(QObject *editor, QEvent *event) override;
    void finish(QWidget *editor, int rowStep, int columnStep);
    QWidget *opened(QWidget *editor) const;

private:
    mutable QPointer<QWidget> m_open;
};

// txteditRunWay: a text box over the cell.
class TextCellDelegate : public ItineraryDelegate
{
    Q_OBJECT
public:
    using ItineraryDelegate::ItineraryDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
};

// Drc: a date picker ending at the cell's right edge. Only a date the
// operator picked or typed is written back.
class DateCellDelegate : public ItineraryDelegate
{
    Q_OBJECT
public:
    using ItineraryDelegate::ItineraryDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// cmb4 / Cmb7: a drop-down refilled from its value list each time it opens.
class ListCellDelegate : public ItineraryDelegate
{
    Q_OBJECT
public:
    ListCellDelegate(Connection &connection, const QString &editorName, QObject *parent = nullptr);
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private:
    Connection &m_connection;
    QString m_editorName;
};
