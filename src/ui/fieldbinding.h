#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLineEdit;
class Recordset;

// Binds a text box to one field of a recordset's current row: the box shows
// the field whenever the row moves or the field changes, and what the
// operator types goes into the field (held until the recordset's update).
class FieldBinding : public QObject
{
    Q_OBJECT
public:
    FieldBinding(QLineEdit *box, QObject *parent = nullptr);

    void bind(Recordset *recordset, const QString &field);
    void unbind();
    QString field() const { return m_field; }
    Recordset *recordset() const { return m_rs; }
    QLineEdit *box() const { return m_box; }

    // Writes the box's text into the field now (for text changed by the program).
    void writeBack();
    void refresh();

private:
    QLineEdit *m_box;
    QPointer<Recordset> m_rs;
    QString m_field;
    int m_column = -1;
    bool m_refreshing = false;
};
