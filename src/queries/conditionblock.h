#pragma once

#include "domain/queries/conditiontext.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class Recordset;

// The stack of condition rows every query window shows: field, operator and
// value per row, a connector between rows, and Text4 with the condition built.
class ConditionBlock : public QWidget
{
    Q_OBJECT
public:
    ConditionBlock(int rows, QWidget *parent = nullptr);

    int rowCount() const { return static_cast<int>(m_fields.size()); }
    QComboBox *field(int i) const { return m_fields.at(i); }
    QComboBox *op(int i) const { return m_ops.at(i); }
    QLineEdit *value(int i) const { return m_values.at(i); }
    QComboBox *connector(int k) const { return m_connectors.at(k); }
    QLineEdit *connectorWord(int k) const { return m_words.at(k); }
    QLineEdit *text4() const { return m_text4; }

    // The field lists come from the dictionary rows; each row starts with the
    // first caption, or (perRow) with the caption of the row of its own position.
    void setDictionary(Recordset *dictionary, bool perRow = false);
    // Builds the condition text; shows the message of a refused value.
    ConditionText strtjset(const TypeWords &types, const std::function<void(const QString &)> &accepted = {},
                           const TermRewrite &rewrite = {});
    // Empties every value; fields, operators and connectors stay.
    void txtsjclear();

private:
    std::optional<ConditionField> lookup(const QString &caption) const;

    QList<QComboBox *> m_fields;
    QList<QComboBox *> m_ops;
    QList<QLineEdit *> m_values;
    QList<QComboBox *> m_connectors;
    QList<QLineEdit *> m_words;
    QLineEdit *m_text4;
    Recordset *m_dictionary = nullptr;
};
