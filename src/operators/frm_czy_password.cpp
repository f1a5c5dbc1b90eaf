#include "operators/frm_czy_password.h"

#include "shell/appstate.h"
#include "shell/modcwcl.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "ui/messagebox.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kTitle = QStringLiteral("口令变更");

// Blanks are spaces here, as the database's trim() sees them: a tab or a
// full-width blank at either end is part of the name or the password. Trimming
// more on our side than in the statement would miss the operator's own row.
QString trimBlanks(const QString &text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}
} // namespace

frm_czy_password::frm_czy_password(AppState &state, QWidget *parent)
    : QDialog(parent), m_state(state), m_account(new Recordset(this))
{
    setObjectName(QStringLiteral("frm_czy_password"));
    setWindowTitle(QStringLiteral("操作员口令变更"));

    auto *frame = new QGroupBox(QStringLiteral("设置口令"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(frame);
    const QStringList labels = {QStringLiteral("原 口 令:"), QStringLiteral("新 口 令:"), QStringLiteral("验证口令:")};
    for (int i = 0; i < 5; ++i) {
        auto *edit = new QLineEdit(frame);
        edit->setObjectName(QStringLiteral("Txt_password_%1").arg(i));
        edit->setEchoMode(QLineEdit::Password);
        edit->installEventFilter(this);
        m_boxes << edit;
        if (i < 3) {
            grid->addWidget(new QLabel(labels.at(i), frame), i, 0);
            grid->addWidget(edit, i, 1);
        } else {
            edit->hide(); // 3: count of wrong old passwords, 4: the stored password
        }
    }
    m_confirm = new QPushButton(QStringLiteral("变更口令确认(&Y)"), frame);
    m_confirm->setObjectName(QStringLiteral("com_password_0"));
    m_confirm->setAutoDefault(false);
    auto *cancel = new QPushButton(QStringLiteral("变更口令取消(&N)"), frame);
    cancel->setObjectName(QStringLiteral("com_password_1"));
    cancel->setAutoDefault(false);
    connect(m_confirm, &QPushButton::clicked, this, &frm_czy_password::last_password);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_confirm);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    adjustSize();
    form_center(this);

    const QString name = trimBlanks(m_state.currentOperator());
    try {
        m_account->open(QStringLiteral(" select * from czyzd where trim(czy_name) = ") + sqlQuote(name),
                        &m_state.connection(), LockType::Optimistic);
        m_hasAccount = m_account->recordCount() > 0;
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
    }
    if (!m_hasAccount) {
        Msg::stop(QStringLiteral("找不到操作员'%1'的帐号，不能变更口令。").arg(name), kTitle);
        QTimer::singleShot(0, this, &QDialog::reject);
        return;
    }
    const QVariant stored = m_account->value(QStringLiteral("czy_pass"));
    box(4)->setText(stored.isNull() ? QStringLiteral(" ") : stored.toString());
    box(3)->setText(QStringLiteral("0"));
    m_confirm->setEnabled(false);
}

frm_czy_password::~frm_czy_password() = default;

void frm_czy_password::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    box(0)->setFocus();
}

bool frm_czy_password::eventFilter(QObject *watched, QEvent *event)
{
    const int i = static_cast<int>(m_boxes.indexOf(static_cast<QLineEdit *>(watched)));
    if (i < 0 || m_closing)
        return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (i == 0)
                box(1)->setFocus();
            else if (i == 1)
                box(2)->setFocus();
            else if (i == 2) {
                m_confirm->setEnabled(true);
                m_confirm->setFocus();
            }
            return true;
        }
    } else if (event->type() == QEvent::FocusIn) {
        if (i == 1)
            init_password();
        if (!m_closing)
            QTimer::singleShot(0, box(i), &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

void frm_czy_password::init_password()
{
    if (!m_hasAccount || m_closing)
        return;
    if (trimBlanks(box(4)->text()) == trimBlanks(box(0)->text()))
        return;
    const int count = box(3)->text().toInt() + 1;
    box(3)->setText(QString::number(count));
    if (count <= 2) {
        Msg::stop(QStringLiteral("输入原口令不正确,请重新输入!"), kTitle);
        box(0)->setFocus();
        box(0)->selectAll();
        return;
    }
    Msg::stop(QStringLiteral("对不起,您无权变更操作员'") + trimBlanks(m_state.currentOperator())
                  + QStringLiteral("'的口令!"),
              kTitle);
    m_closing = true;
    QTimer::singleShot(0, this, &QDialog::reject);
}

void frm_czy_password::last_password()
{
    if (!m_hasAccount)
        return;
    // The new password is stored exactly as typed, so both entries must be the same as typed.
    if (box(1)->text() != box(2)->text()) {
        Msg::stop(QStringLiteral("新口令两次不一致,请重新输入!"), kTitle);
        m_confirm->setEnabled(false);
        box(1)->setFocus();
        return;
    }
    try {
        m_account->setValue(QStringLiteral("czy_pass"), box(2)->text());
        m_account->update();
        m_account->close();
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
        return;
    }
    Msg::information(QStringLiteral("变更口令成功，按任意键返回！"), kTitle);
    m_closing = true;
    accept();
}
