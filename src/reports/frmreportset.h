#pragma once

#include "ui/loadable.h"

#include <QWidget>

class BoundGrid;
class Connection;
class QPushButton;
class QTableWidget;
class Recordset;

// Report column settings: the print-side dictionary (pr_codedict) in one
// editable grid, with pick lists for the type and alignment codes.
class FrmreportSet : public QWidget, public Loadable
{
    Q_OBJECT
public:
    explicit FrmreportSet(Connection &connection, QWidget *parent = nullptr);
    ~FrmreportSet() override;

    bool load() override;

    enum class State { Browsing, Adding, Modifying };
    State state() const { return m_state; }
    Recordset *recordset() const { return m_rs; }

    void cmdzj_Click(); // add
    void cmdxg_Click(); // modify
    void cmdbc_Click(); // save
    void cmdqx_Click(); // cancel
    void cmdsc_Click(); // delete
    void move(int button); // 1 first, 2 previous, 3 next, 4 last
    // The button in a type or alignment cell of the current row.
    void showPickList(int column);
    // Writes the code of a pick-list row into the current cell.
    void choosePick(QTableWidget *list, int row);

    static const QStringList &headers();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setState(State state);
    QTableWidget *makePickList(const QString &name, const QStringList &header,
                               const QList<QPair<QString, QString>> &rows);

    Connection &m_connection;
    Recordset *m_rs;
    BoundGrid *m_grid;
    QTableWidget *m_types;
    QTableWidget *m_aligns;
    QPushButton *m_add, *m_modify, *m_save, *m_cancel, *m_delete, *m_exit;
    State m_state = State::Browsing;
    int m_pickColumn = -1;
};
