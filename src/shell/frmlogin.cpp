#include "shell/frmlogin.h"

#include "domain/shell/programdata.h"
#include "domain/shell/appstate.h"
#include "shell/form_main.h"
#include "ui/modcwcl.h"
#include "domain/operators/operatorcommands.h"
#include "domain/operators/rights.h"
#include "domain/reports/clsmenu.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "ui/errorboundary.h"
#include "ui/messagebox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSvgWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kNotice = QStringLiteral("欢迎使用 Avelor 客票会员管理，祝工作顺利！");
}

frmLogin::frmLogin(AppState &state, form_main *mainWindow, QWidget *parent)
    : QDialog(parent), m_state(state), m_main(mainWindow), m_operators(new Recordset(this))
{
    setObjectName(QStringLiteral("frmLogin"));
    setWindowTitle(QStringLiteral("登录"));

    auto *picture = new QSvgWidget(programPicturePath(), this);
    picture->setObjectName(QStringLiteral("img_frmsys"));
    picture->setFixedSize(360, 120);

    auto *frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *hint = new QLabel(QStringLiteral("选择操作员,输入对应的口令"), frame);
    hint->setObjectName(QStringLiteral("Label2"));

    m_name = new QComboBox(frame);
    m_name->setObjectName(QStringLiteral("combname"));
    m_name->setEditable(true);
    m_name->setInsertPolicy(QComboBox::NoInsert);
    auto *nameLabel = new QLabel(QStringLiteral("用户名称(&U):"), frame);
    nameLabel->setObjectName(QStringLiteral("Label1"));
    nameLabel->setBuddy(m_name);

    m_password = new QLineEdit(frame);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setEchoMode(QLineEdit::Password);
    auto *passwordLabel = new QLabel(QStringLiteral("密码(&P):"), frame);
    passwordLabel->setObjectName(QStringLiteral("Label3"));
    passwordLabel->setBuddy(m_password);

    auto *grid = new QGridLayout(frame);
    grid->addWidget(hint, 0, 0, 1, 2);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(m_name, 1, 1);
    grid->addWidget(passwordLabel, 2, 0);
    grid->addWidget(m_password, 2, 1);

    auto *ok = new QPushButton(QStringLiteral("确定(&Y)"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("取消(&C)"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(ok, &QPushButton::clicked, this, &frmLogin::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(picture, 0, Qt::AlignHCenter);
    layout->addWidget(frame);
    layout->addLayout(buttons);

    // One second after loading, the busy pointer of the main window ends.
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_timer->stop();
        if (m_main)
            m_main->endBusyPointer();
    });
    adjustSize();
    form_center(this);
}

frmLogin::~frmLogin() = default;

bool frmLogin::load()
{
    OperatorCommands::readLoginAhead(m_state.connection());
    m_operators->open(OperatorCommands::allAccountsSql(), &m_state.connection());
    for (int i = 0; i < m_operators->recordCount(); ++i)
        m_name->addItem(m_operators->valueAt(i, m_operators->fieldIndex(QStringLiteral("czy_name"))).toString());
    if (m_operators->recordCount() > 0) {
        m_operators->moveFirst();
        m_name->setCurrentText(m_operators->text(QStringLiteral("czy_name")));
    } else {
        m_name->setCurrentText(QString());
    }
    m_password->setFocus();
    m_timer->start();
    return true;
}

void frmLogin::cmdOK_Click()
{
    const QString name = m_name->currentText();
    bool known = false;
    if (m_operators->recordCount() > 0 && !name.isEmpty()) {
        m_operators->moveFirst();
        known = m_operators->find(QStringLiteral("czy_name=") + sqlQuote(name));
    }
    bool matched = false;
    QString sessionLocation;
    if (known) {
        const qint64 account = m_operators->value(QStringLiteral("czy_no")).toLongLong();
        // On a server the operator's rights and report menu come with the opening of its session.
        const QList<QPair<QString, QVariantList>> firstReads = {
            {OperatorCommands::rightsSql(), {m_operators->text(QStringLiteral("czy_name"))}}, {Clsmenu::catalogueSql(), {}}};
        if (!ErrorBoundary::run([&] {
                matched = OperatorCommands::logIn(m_state.connection(), account, m_password->text(), &sessionLocation,
                                                  m_main ? firstReads : firstReads.mid(0, 1))
                          == OperatorCommands::LoginOutcome::LoggedIn;
            }))
            return;
    }
    if (!matched) {
        Msg::stop(QStringLiteral("口令错误!"));
        return;
    }
    if (!sessionLocation.isEmpty())
        m_state.setSessionLocation(sessionLocation);
    const QString operatorName = m_operators->text(QStringLiteral("czy_name"));
    if (m_main) {
        // Timer1 may not have fired yet; a quick login must not leave the busy pointer on.
        m_main->endBusyPointer();
        m_main->setPanelText(2, QStringLiteral("操做员:") + operatorName);
        m_main->setPanelText(1, Msg::programTitle().trimmed());
        m_main->setPanelText(8, kNotice);
    }
    m_state.setCurrentOperator(operatorName);
    const bool newMenu = m_main && !sessionLocation.isEmpty();
    ErrorBoundary::run([&] { Rights::mCzyqx(m_state.connection(), m_main, operatorName); });
    // The report menu as this operator reads it (on a server, the lobby read none).
    if (newMenu)
        ErrorBoundary::run([&] { m_main->menu_load(); });
    accept();
}
