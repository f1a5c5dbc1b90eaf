#include "archive/fieldhelppopup.h"

#include "archive/fieldhelp.h"
#include "store/recordset.h"
#include "ui/errorboundary.h"
#include "ui/twips.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

FieldHelpPopup::FieldHelpPopup(QWidget *fields, QWidget *listParent, Connection &connection, Recordset *record)
    : QObject(fields), m_connection(connection), m_record(record), m_fields(fields)
{
    m_combo = new QComboBox(fields);
    m_combo->setObjectName(QStringLiteral("combHelp_0"));
    m_combo->setFixedWidth(22);
    m_combo->hide();
    m_combo->installEventFilter(this);
    connect(m_combo, &QComboBox::activated, this, [this] { comboChosen(); });
    m_listButton = new QPushButton(QStringLiteral("…"), fields);
    m_listButton->setObjectName(QStringLiteral("CmdHELP_0"));
    m_listButton->setFixedSize(22, Twips::toPixels(335));
    m_listButton->hide();
    connect(m_listButton, &QPushButton::clicked, this, &FieldHelpPopup::listButtonClicked);
    m_list = new QListWidget(listParent);
    m_list->setObjectName(QStringLiteral("ListHELP_0"));
    m_list->hide();
}

void FieldHelpPopup::hideAll()
{
    m_combo->hide();
    m_listButton->hide();
    m_list->hide();
}

void FieldHelpPopup::setEnabled(bool enabled)
{
    m_listButton->setEnabled(enabled);
    m_combo->setEnabled(enabled);
    if (!enabled)
        hideAll();
}

void FieldHelpPopup::place(QLineEdit *box, const Source &source)
{
    if (source.kind == QLatin1String("COMB")) {
        m_listButton->hide();
        m_list->hide();
        m_combo->setProperty("tag", source.field);
        m_combo->setFixedHeight(box->height());
        m_combo->move(box->x() + box->width() - m_combo->width(), box->y());
        FieldHelp::ShowHelp(m_connection, source.kind, source.table, source.column, source.value, source.shown, m_combo,
                            nullptr);
        m_combo->show();
        m_combo->raise();
    } else if (source.kind == QLatin1String("LIST")) {
        m_combo->hide();
        if (m_list->property("tag").toString() != source.field)
            m_list->hide();
        m_list->setProperty("tag", source.field);
        m_listButton->setProperty("tag", source.field);
        const QPoint under = m_fields->mapTo(m_list->parentWidget(), box->geometry().bottomLeft());
        m_list->setGeometry(under.x(), under.y() + 1, box->width(), 160);
        m_listButton->setFixedHeight(box->height());
        m_listButton->move(box->x() + box->width() - m_listButton->width(), box->y());
        FieldHelp::ShowHelp(m_connection, source.kind, source.table, source.column, source.value, source.shown, nullptr,
                            m_list);
        m_listButton->show();
        m_listButton->raise();
    } else {
        m_listButton->hide();
        m_list->hide();
    }
}

bool FieldHelpPopup::recordAtRow() const
{
    return !m_record->bof() && !m_record->eof();
}

void FieldHelpPopup::comboChosen()
{
    const QString text = m_combo->currentText();
    if (text.isEmpty() || !recordAtRow())
        return;
    ErrorBoundary::run([&] { m_record->setValue(m_combo->property("tag").toString(), text); });
}

void FieldHelpPopup::listButtonClicked()
{
    if (m_list->isHidden()) {
        m_list->show();
        m_list->raise();
        return;
    }
    m_list->hide();
    const QString joined = FieldHelp::checkedText(m_list);
    if (joined.isEmpty() || !recordAtRow())
        return;
    ErrorBoundary::run([&] { m_record->setValue(m_listButton->property("tag").toString(), joined); });
}

bool FieldHelpPopup::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_combo)
        return false;
    if (event->type() == QEvent::FocusOut && !m_combo->view()->isVisible())
        m_combo->hide();
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            comboChosen();
            emit chosenByEnter();
            return true;
        }
    }
    return false;
}
