#include "ui/fieldbinding.h"

#include "store/recordset.h"
#include "ui/errorboundary.h"
#include "ui/recordsetmodel.h"

#include <QLineEdit>

FieldBinding::FieldBinding(QLineEdit *box, QObject *parent) : QObject(parent ? parent : box), m_box(box)
{
    connect(m_box, &QLineEdit::textEdited, this, [this] {
        if (!ErrorBoundary::run([this] { writeBack(); }))
            refresh(); // the box shows what the row holds, not what was refused
    });
}

void FieldBinding::bind(Recordset *recordset, const QString &field)
{
    unbind();
    m_rs = recordset;
    m_field = field;
    if (!m_rs)
        return;
    m_column = m_rs->fieldIndex(field);
    connect(m_rs, &Recordset::currentRowChanged, this, &FieldBinding::refresh);
    connect(m_rs, &Recordset::rowsReset, this, [this] {
        m_column = m_rs->fieldIndex(m_field);
        refresh();
    });
    connect(m_rs, &Recordset::rowChanged, this, &FieldBinding::refresh);
    connect(m_rs, &Recordset::fieldChanged, this, [this](int column) {
        if (column == m_column)
            refresh();
    });
    refresh();
}

void FieldBinding::unbind()
{
    if (m_rs)
        disconnect(m_rs, nullptr, this, nullptr);
    m_rs = nullptr;
    m_column = -1;
}

void FieldBinding::refresh()
{
    if (m_refreshing)
        return;
    m_refreshing = true;
    QString text;
    if (m_rs && m_column >= 0 && !m_rs->bof() && !m_rs->eof())
        text = RecordsetModel::displayText(m_rs->valueAt(m_rs->currentIndex(), m_column));
    if (m_box->text() != text)
        m_box->setText(text);
    m_refreshing = false;
}

void FieldBinding::writeBack()
{
    if (m_refreshing || !m_rs || m_column < 0 || m_rs->bof() || m_rs->eof())
        return;
    const QString text = m_box->text();
    m_refreshing = true;
    try {
        m_rs->setValue(m_column, text.isEmpty() ? QVariant() : QVariant(text));
    } catch (...) {
        m_refreshing = false;
        throw;
    }
    m_refreshing = false;
}
