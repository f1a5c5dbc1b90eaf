#pragma once

#include "ui/loggedwindow.h"

class BoundGrid;
class DbException;
class FieldBinding;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class Recordset;

// The code dictionary editor: the value lists of dict, by class, with fields
// laid out from the dictionary rows of dict itself.
class FRM_KXLX : public LoggedWindow
{
    Q_OBJECT
public:
    explicit FRM_KXLX(AppState &state, QWidget *parent = nullptr);
    ~FRM_KXLX() override;

    void toolbarClicked(const QString &key);
    void Cmdmove_Click(int index);
    Recordset *rows() const { return m_rows; }
    int fieldCount() const { return static_cast<int>(m_boxes.size()); }

protected:
    bool loadData() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutFields();
    void reheadGrid();
    void showClassList();
    void followRow();
    // The field checks every write of a row passes, from the save button or a move.
    bool checkFields();
    void saveRow();
    void reportError(const DbException &error);
    void updateMoveButtons();

    Recordset *m_rows;
    Recordset *m_fieldRows;
    Recordset *m_printSource;
    QTabWidget *m_tabs;
    QWidget *m_entry;
    QComboBox *m_class;
    QList<QLabel *> m_labels;
    QList<QLineEdit *> m_boxes;
    QList<FieldBinding *> m_bindings;
    BoundGrid *m_grid;
    BoundGrid *m_browse;
    QLineEdit *m_find;
    QList<QPushButton *> m_moves;
};
