#include "reports/frmjfdzd.h"

#include "reports/memberstatement.h"
#include "domain/shell/appstate.h"
#include "ui/messagebox.h"

#include <QDate>
#include <QDateEdit>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FrmJfdzd::FrmJfdzd(AppState &state, const QString &kh, QWidget *parent)
    : QWidget(parent, Qt::Window), m_state(state)
{
    setObjectName(QStringLiteral("FrmJfdzd"));
    setWindowTitle(QStringLiteral("会员积分对账单"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_kh = new QLineEdit(kh, this);
    m_kh->setObjectName(QStringLiteral("Txtkh"));
    const QDate today = QDate::currentDate();
    auto date = [this](const QString &name, const QDate &value) {
        auto *edit = new QDateEdit(value, this);
        edit->setObjectName(name);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        return edit;
    };
    m_from = date(QStringLiteral("dtpFrom"), QDate(today.year(), 1, 1));
    m_to = date(QStringLiteral("dtpTo"), QDate(today.year(), 12, 31));

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("卡号："), m_kh);
    form->addRow(QStringLiteral("起始日期："), m_from);
    form->addRow(QStringLiteral("截止日期："), m_to);
    auto *buttons = new QHBoxLayout;
    auto button = [&](const QString &name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        buttons->addWidget(b);
        return b;
    };
    connect(button(QStringLiteral("cmdyes"), QStringLiteral("预览(&Y)")), &QPushButton::clicked, this,
            &FrmJfdzd::cmdyes_Click);
    connect(button(QStringLiteral("Command1"), QStringLiteral("打印(&P)")), &QPushButton::clicked, this,
            &FrmJfdzd::Command1_Click);
    connect(button(QStringLiteral("Cmdquit"), QStringLiteral("关闭(&Q)")), &QPushButton::clicked, this,
            &QWidget::close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

void FrmJfdzd::output(bool preview)
{
    const QString kh = m_kh->text().trimmed();
    if (kh.isEmpty())
        return;
    const QDate from = m_from->date(), to = m_to->date();
    // A reversed period would open on the balance of its end: refused, nothing shown.
    if (to < from) {
        Msg::exclamation(QStringLiteral("结束日期 %1 早于开始日期 %2，请重新选择。")
                             .arg(to.toString(Qt::ISODate), from.toString(Qt::ISODate)));
        return;
    }
    ModReport::output(
        [&] { return MemberStatements::report(m_state.connection(), MemberStatements::build(m_state.connection(), kh, from, to)); },
        preview, this);
}

void FrmJfdzd::cmdyes_Click()
{
    output(true);
}

void FrmJfdzd::Command1_Click()
{
    output(false);
}
