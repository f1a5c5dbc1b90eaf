#include "operators/frm_czy_password.h"

#include "domain/shell/appstate.h"
#include "domain/operators/operatorcommands.h"
#include "ui/errorboundary.h"
#include "ui/modcwcl.h"
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
    : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("frm_czy_password"));
    setWindowTitle(QStringLiteral("操作员口令变更"));

    auto *frame = new QGroupBox(QStringLiteral("设置口令"), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(frame);
    const QStringList labels = {QStringLiteral("原 口 令:"), QStringLiteral("新 口 令:"), QStringLiteral("验证口令:")};
    for (int i = 0; i < 3; ++i) {
        auto *edit = new QLineEdit(frame);
        edit->setObjectName(QStringLiteral("Txt_password_%1").arg(i));
        edit->setEchoMode(QLineEdit::Password);
        edit->installEventFilter(this);
        m_boxes << edit;
        grid->addWidget(new QLabel(labels.at(i), frame), i, 0);
        grid->addWidget(edit, i, 1);
    }
    m_confirm = new QPushButton(QStringLiteral("变更口令确认(&Y)"), frame);
    m_confirm->setObjectName(QStringLiteral("com_password_0"));
    // Enter on the confirm button (where Enter in the last box puts the focus) confirms.
    m_confirm->setAutoDefault(true);
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

    m_confirm->setEnabled(false);
}

bool frm_czy_password::load()
{
    const QString name = trimBlanks(m_state.currentOperator());
    const QVariant account = OperatorCommands::ownAccount(m_state.connection(), name);
    if (!account.isValid()) {
        Msg::stop(QStringLiteral("找不到操作员'%1'的帐号，不能变更口令。").arg(name), kTitle);
        return false;
    }
    m_account = account.toLongLong();
    return true;
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
    if (!m_account || m_closing)
        return;
    // The same check as the login's: exact, blanks and all.
    bool matched = false;
    if (!ErrorBoundary::run([&] {
            matched = OperatorCommands::checkPassword(m_state.connection(), *m_account, box(0)->text());
        }))
        return;
    if (!matched)
        oldPasswordRefused();
}

void frm_czy_password::oldPasswordRefused()
{
    if (++m_wrongAttempts <= 2) {
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
    if (!m_account || m_closing)
        return;
    // The new password is stored exactly as typed, so both entries must be the same as typed.
    if (box(1)->text() != box(2)->text()) {
        Msg::stop(QStringLiteral("新口令两次不一致,请重新输入!"), kTitle);
        m_confirm->setEnabled(false);
        box(1)->setFocus();
        return;
    }
    using Outcome = OperatorCommands::ChangeOutcome;
    Outcome outcome = Outcome::OldRefused;
    if (!ErrorBoundary::run([&] {
            outcome = OperatorCommands::changePassword(m_state.connection(), *m_account, box(0)->text(),
                                                       box(2)->text());
        }))
        return;
    switch (outcome) {
    case Outcome::OldRefused:
        // Edited since it was checked, or the password was changed by another seat meanwhile.
        oldPasswordRefused();
        return;
    case Outcome::NoAccount:
        Msg::stop(QStringLiteral("找不到操作员'%1'的帐号，不能变更口令。").arg(trimBlanks(m_state.currentOperator())),
                  kTitle);
        m_closing = true;
        reject();
        return;
    case Outcome::Changed:
        break;
    }
    for (QLineEdit *edit : std::as_const(m_boxes))
        edit->clear();
    Msg::information(QStringLiteral("变更口令成功，按任意键返回！"), kTitle);
    m_closing = true;
    accept();
}
