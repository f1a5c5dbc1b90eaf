#include "archive/itinerarydelegates.h"

#include "archive/fieldhelp.h"
#include "archive/itinerarymodel.h"
#include "store/dberror.h"
#include "store/jetdate.h"

#include <QCalendarWidget>
#include <QComboBox>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

bool ItineraryDelegate::eventFilter(QObject *object, QEvent *event)
{
    auto *editor = qobject_cast<QWidget *>(object);
    if (editor && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const bool list = qobject_cast<QComboBox *>(editor) != nullptr;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            finish(editor, 0, 1);
            return true;
        case Qt::Key_Up:
            if (list)
                break; // arrows choose in a drop-down
            finish(editor, -1, 0);
            return true;
        case Qt::Key_Down:
            if (list)
                break;
            finish(editor, 1, 0);
            return true;
        case Qt::Key_Escape:
            finish(editor, 0, 0);
            return true;
        default:
            break;
        }
    }
    return QStyledItemDelegate::eventFilter(object, event);
}

QWidget *ItineraryDelegate::opened(QWidget *editor) const
{
    m_open = editor;
    return editor;
}

void ItineraryDelegate::commitOpenEditor()
{
    if (!m_open)
        return;
    QWidget *editor = m_open;
    m_open = nullptr;
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void ItineraryDelegate::finish(QWidget *editor, int rowStep, int columnStep)
{
    m_open = nullptr;
    emit commitData(editor);
    emit closeEditor(editor, QAbstractItemDelegate::NoHint);
    emit moveRequested(rowStep, columnStep);
}

QWidget *TextCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("txteditRunWay"));
    editor->setFrame(false);
    return opened(editor);
}

void TextCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = static_cast<QLineEdit *>(editor);
    box->setText(index.data(Qt::EditRole).toString());
    // Opened by a click the caret goes to the end; opened by a key the key replaces the text.
    QTimer::singleShot(0, box, [box] {
        if (box->hasSelectedText() && box->selectedText() == box->text())
            box->end(false);
    });
}

void TextCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    model->setData(index, static_cast<QLineEdit *>(editor)->text().toUpper());
}

QWidget *DateCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *editor = new QDateEdit(parent);
    editor->setObjectName(QStringLiteral("Drc"));
    editor->setCalendarPopup(true);
    editor->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    connect(editor, &QDateEdit::dateChanged, editor, [editor] { editor->setProperty("picked", true); });
    // Choosing the date the calendar already shows is a choice too.
    connect(editor->calendarWidget(), &QCalendarWidget::clicked, editor, [editor] { editor->setProperty("picked", true); });
    return opened(editor);
}

void DateCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    const auto date = parseJetDate(index.data(Qt::EditRole).toString());
    auto *picker = static_cast<QDateEdit *>(editor);
    const QSignalBlocker quiet(picker);
    picker->setDate(date ? date->date : QDate::currentDate());
    picker->setProperty("picked", false);
}

void DateCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    // Passing through an empty cell must not fill it with the date the picker started on.
    const QDate date = static_cast<QDateEdit *>(editor)->date();
    if (date.isValid() && editor->property("picked").toBool())
        model->setData(index, date.toString(QStringLiteral("yyyy-MM-dd")));
}

void DateCellDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                            const QModelIndex &) const
{
    const int width = std::max(editor->sizeHint().width(), option.rect.width());
    editor->setGeometry(option.rect.right() - width + 1, option.rect.top(), width, option.rect.height());
}

ListCellDelegate::ListCellDelegate(Connection &connection, const QString &editorName, QObject *parent)
    : ItineraryDelegate(parent), m_connection(connection), m_editorName(editorName)
{
}

QWidget *ListCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(m_editorName);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    try {
        FieldHelp::Showit(m_connection, combo, ItineraryModel::listClassFor(index.column()));
    } catch (const DbException &) {
        // An unreadable list leaves the drop-down empty; typing still works.
    }
    // Only a value chosen from the list (mouse or arrow keys) or typed is a choice.
    connect(combo, &QComboBox::activated, combo, [combo] { combo->setProperty("picked", true); });
    connect(combo->lineEdit(), &QLineEdit::textEdited, combo, [combo] { combo->setProperty("picked", true); });
    return opened(combo);
}

void ListCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *combo = static_cast<QComboBox *>(editor);
    const QString text = index.data(Qt::EditRole).toString();
    if (!text.isEmpty())
        combo->setCurrentText(text);
    else
        combo->lineEdit()->selectAll(); // the value shown is a suggestion: typing replaces it
    combo->setProperty("picked", false);
}

void ListCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    // Passing through writes nothing: the list's first value is shown, not chosen,
    // and an empty required column must still be caught on save.
    const QString text = static_cast<QComboBox *>(editor)->currentText();
    if (!text.isEmpty() && editor->property("picked").toBool())
        model->setData(index, text.toUpper());
}
