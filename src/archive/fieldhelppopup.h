#pragma once

#include <QObject>
#include <QString>

class Connection;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;
class Recordset;

// The help of a customer field box being edited, as its dictionary row asks:
// a drop-down at the box's right edge (COMB) whose choice goes into the
// record, or a button opening a check list under the box (LIST) whose ticked
// values go in joined; nothing for other fields.
class FieldHelpPopup : public QObject
{
    Q_OBJECT
public:
    // `fields` holds the boxes; the list hangs in `listParent`, over what is below.
    FieldHelpPopup(QWidget *fields, QWidget *listParent, Connection &connection, Recordset *record);

    struct Source
    {
        QString field; // the record's column the help writes
        QString kind;  // "COMB", "LIST" or anything else (no help)
        QString table, column, value, shown;
    };
    // Shows the help of `box` (throws DbException when its values cannot be read).
    void place(QLineEdit *box, const Source &source);
    void hideAll();
    void setEnabled(bool enabled);

    // The drop-down's choice goes into the record.
    void comboChosen();
    // Opens the check list, or closes it and writes what is ticked.
    void listButtonClicked();

signals:
    // Enter in the drop-down chose its value; the window goes on to the next box.
    void chosenByEnter();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool recordAtRow() const;

    Connection &m_connection;
    Recordset *m_record;
    QComboBox *m_combo;
    QPushButton *m_listButton;
    QListWidget *m_list;
    QWidget *m_fields;
};
