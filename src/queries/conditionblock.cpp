#include "queries/conditionblock.h"

#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

ConditionBlock::ConditionBlock(int rows, QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("conditions"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("项目"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("条件"), this), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("值"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("关系"), this), 0, 3);
    const QStringList operators = {QStringLiteral("<"),  QStringLiteral("<="),   QStringLiteral(">"),
                                   QStringLiteral(">="), QStringLiteral("="),    QStringLiteral("like"),
                                   QStringLiteral("<>")};
    for (int i = 0; i < rows; ++i) {
        auto *field = new QComboBox(this);
        field->setObjectName(QStringLiteral("DataCombo1_%1").arg(i));
        field->setEditable(true);
        field->setInsertPolicy(QComboBox::NoInsert);
        field->setMinimumWidth(130);
        auto *op = new QComboBox(this);
        op->setObjectName(QStringLiteral("Combo1_%1").arg(i));
        op->addItems(operators);
        op->setCurrentText(QStringLiteral("="));
        auto *value = new QLineEdit(this);
        value->setObjectName(QStringLiteral("txtsj_%1").arg(i));
        value->setMinimumWidth(160);
        grid->addWidget(field, i + 1, 0);
        grid->addWidget(op, i + 1, 1);
        grid->addWidget(value, i + 1, 2);
        m_fields << field;
        m_ops << op;
        m_values << value;
        if (i < rows - 1) {
            auto *connector = new QComboBox(this);
            connector->setObjectName(QStringLiteral("Combljtj_%1").arg(i));
            connector->addItems({QStringLiteral("并且"), QStringLiteral("或者")});
            connector->setEnabled(false);
            auto *word = new QLineEdit(QStringLiteral("and"), this);
            word->setObjectName(QStringLiteral("Txttj_%1").arg(i));
            word->setReadOnly(true);
            word->hide();
            grid->addWidget(connector, i + 1, 3);
            m_connectors << connector;
            m_words << word;
            connect(connector, &QComboBox::currentTextChanged, word, [word](const QString &text) {
                word->setText(text == QStringLiteral("并且") ? QStringLiteral("and") : QStringLiteral("or"));
            });
            connect(value, &QLineEdit::textChanged, connector,
                    [connector](const QString &text) { connector->setEnabled(!text.isEmpty()); });
        }
    }
    m_text4 = new QLineEdit(this);
    m_text4->setObjectName(QStringLiteral("Text4"));
    m_text4->setReadOnly(true);
    grid->addWidget(m_text4, rows + 1, 0, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(rows + 2, 1);
}

void ConditionBlock::setDictionary(Recordset *dictionary, bool perRow)
{
    m_dictionary = dictionary;
    const int names = dictionary->fieldIndex(QStringLiteral("colm_name"));
    QStringList captions;
    for (int r = 0; r < dictionary->recordCount(); ++r)
        captions << dictionary->valueAt(r, names).toString();
    for (int i = 0; i < m_fields.size(); ++i) {
        m_fields.at(i)->clear();
        m_fields.at(i)->addItems(captions);
        const int shown = perRow ? i : 0;
        m_fields.at(i)->setCurrentText(shown < captions.size() ? captions.at(shown) : QString());
        if (shown >= captions.size())
            m_fields.at(i)->setCurrentIndex(-1);
        m_ops.at(i)->setCurrentText(QStringLiteral("="));
    }
}

std::optional<ConditionField> ConditionBlock::lookup(const QString &caption) const
{
    if (!m_dictionary || !FieldDictionary::findByName(*m_dictionary, caption))
        return std::nullopt;
    return ConditionField{m_dictionary->text(QStringLiteral("colm_code")), m_dictionary->text(QStringLiteral("colm_name")),
                          FieldDictionary::typeWord(m_dictionary->value(QStringLiteral("colm_type")))};
}

ConditionText ConditionBlock::strtjset(const TypeWords &types, const std::function<void(const QString &)> &accepted,
                                       const TermRewrite &rewrite)
{
    QVector<ConditionRow> rows;
    for (int i = 0; i < m_fields.size(); ++i)
        rows.append({m_fields.at(i)->currentText(), m_ops.at(i)->currentText(), m_values.at(i)->text()});
    QStringList words;
    for (QLineEdit *w : m_words)
        words << w->text();
    m_text4->clear();
    const ConditionText result = ::strtjset(
        rows, words, [this](const QString &caption) { return lookup(caption); }, types,
        [this, &accepted](const QString &text) {
            m_text4->setText(text);
            if (accepted)
                accepted(text);
        },
        rewrite);
    // The boxes keep what was typed: written back quoted, a retry after a
    // refused row would quote the same value twice and search for something else.
    if (result.stopped)
        Msg::exclamation(result.message);
    return result;
}

void ConditionBlock::txtsjclear()
{
    for (QLineEdit *value : m_values)
        value->clear();
}
