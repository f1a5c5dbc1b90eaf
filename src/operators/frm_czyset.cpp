#include "operators/frm_czyset.h"

#include "domain/operators/operatorcommands.h"
#include "domain/shell/appstate.h"
#include "domain/operators/rights.h"
#include "store/recordset.h"
#include "ui/boundgrid.h"
#include "ui/errorboundary.h"
#include "ui/messagebox.h"
#include "ui/toolbar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString kCaption = QStringLiteral("操作员设置");
}

Frm_czyset::Frm_czyset(AppState &state, QWidget *parent)
    : LoggedWindow(state, kCaption, parent), m_accounts(new Recordset(this))
{
    setObjectName(QStringLiteral("Frm_czyset"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));

    auto *addTab = new QWidget(m_tabs);
    m_name = new QLineEdit(addTab);
    m_name->setObjectName(QStringLiteral("Text1"));
    m_password = new QLineEdit(addTab);
    m_password->setObjectName(QStringLiteral("Text2"));
    m_password->setEchoMode(QLineEdit::Password);
    m_repeat = new QLineEdit(addTab);
    m_repeat->setObjectName(QStringLiteral("Text3"));
    m_repeat->setEchoMode(QLineEdit::Password);
    m_grid = new BoundGrid(addTab);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("姓名:"), m_name);
    form->addRow(QStringLiteral("口令:"), m_password);
    form->addRow(QStringLiteral("确认口令"), m_repeat);
    auto *addLayout = new QVBoxLayout(addTab);
    addLayout->addLayout(form);
    addLayout->addWidget(m_grid, 1);
    m_tabs->addTab(addTab, QStringLiteral("增加"));

    auto *rightsTab = new QWidget(m_tabs);
    m_operator = new QComboBox(rightsTab);
    m_operator->setObjectName(QStringLiteral("combczy"));
    m_operator->setMinimumWidth(160);
    m_functions = new QListWidget(rightsTab);
    m_functions->setObjectName(QStringLiteral("ListView1"));
    m_all = new QCheckBox(QStringLiteral("全选"), rightsTab);
    m_all->setObjectName(QStringLiteral("Check1"));
    auto *rightsForm = new QFormLayout;
    rightsForm->addRow(QStringLiteral("人员列表:"), m_operator);
    auto *rightsLayout = new QVBoxLayout(rightsTab);
    rightsLayout->addLayout(rightsForm);
    rightsLayout->addWidget(m_functions, 1);
    rightsLayout->addWidget(m_all);
    m_tabs->addTab(rightsTab, QStringLiteral("权限设置"));

    const QList<QPair<QString, QString>> buttons = {
        {QStringLiteral("新增"), QStringLiteral("new")},    {QStringLiteral("保存"), QStringLiteral("save")},
        {QStringLiteral("取消"), QStringLiteral("cancl")},  {QStringLiteral("修改"), QStringLiteral("modefy")},
        {QStringLiteral("删除"), QStringLiteral("delete")}, {QStringLiteral("查询"), QStringLiteral("find")},
        {QStringLiteral("预览"), QStringLiteral("view")},   {QStringLiteral("打印"), QStringLiteral("print")},
        {QStringLiteral("帮助"), QStringLiteral("help")},   {QStringLiteral("退出"), QStringLiteral("exit")}};
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeRecordToolbar(this, buttons, [this](const QString &key) { toolbarClicked(key); }));
    layout->addWidget(m_tabs, 1);

    for (const QString &function : Rights::functionNames()) {
        auto *item = new QListWidgetItem(function, m_functions);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }

    connect(m_operator, &QComboBox::activated, this, [this] { CzyqxStar(); });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 1)
            CzyqxStar();
    });
    connect(m_all, &QCheckBox::clicked, this, [this](bool checked) {
        for (int i = 0; i < m_functions->count(); ++i)
            m_functions->item(i)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    });
    resize(520, 460);
}

Frm_czyset::~Frm_czyset() = default;

bool Frm_czyset::loadData()
{
    // The accounts as they are now; an account added here shows the next time the window opens.
    m_accounts->open(OperatorCommands::editableAccountsSql(), &m_state.connection(), LockType::Optimistic);
    m_grid->bind(m_accounts);
    m_grid->setColumnHidden(0, true);
    m_grid->setCaption(1, QStringLiteral("操作员姓名"));
    m_grid->setCaption(2, QStringLiteral("系统帐号"));
    const int nameColumn = m_accounts->fieldIndex(QStringLiteral("czy_Name"));
    for (int i = 0; i < m_accounts->recordCount(); ++i)
        m_operator->addItem(m_accounts->valueAt(i, nameColumn).toString());
    if (m_accounts->recordCount() > 0)
        m_operator->setCurrentIndex(0);
    return true;
}

void Frm_czyset::CzyqxStar()
{
    ErrorBoundary::run([this] {
        const QStringList granted = OperatorCommands::rightsOf(m_state.connection(), m_operator->currentText());
        for (int i = 0; i < m_functions->count(); ++i) {
            QListWidgetItem *item = m_functions->item(i);
            item->setCheckState(granted.contains(item->text()) ? Qt::Checked : Qt::Unchecked);
        }
    });
}

void Frm_czyset::toolbarClicked(const QString &key)
{
    ErrorBoundary::run([&] {
        if (key == QLatin1String("new")) {
            m_adding = true;
            m_tabs->setCurrentIndex(0);
            m_name->clear();
            m_repeat->clear();
            m_password->clear();
            m_name->setFocus();
        } else if (key == QLatin1String("save")) {
            if (m_adding)
                addAccount();
            else
                saveRights();
        } else if (key == QLatin1String("delete")) {
            deleteAccount();
        } else if (key == QLatin1String("exit")) {
            close();
        }
    });
}

void Frm_czyset::addAccount()
{
    using Outcome = OperatorCommands::AddOutcome;
    switch (OperatorCommands::addAccount(m_state.connection(), m_name->text(), m_password->text(), m_repeat->text())) {
    case Outcome::Duplicate:
        Msg::exclamation(QStringLiteral("操作员姓名重复，请重新输入。"));
        return;
    case Outcome::Incomplete:
        return;
    case Outcome::Mismatch:
        Msg::stop(QStringLiteral("口令输入不一致，请重新输入"));
        return;
    case Outcome::Added:
        break;
    }
    m_adding = false;
    Msg::show(QStringLiteral("操作员增加完成。"), Msg::Icon::Question);
}

void Frm_czyset::saveRights()
{
    const QString name = m_operator->currentText();
    QStringList functions;
    for (int i = 0; i < m_functions->count(); ++i)
        if (m_functions->item(i)->checkState() == Qt::Checked)
            functions << m_functions->item(i)->text();
    // A name without an account gets no rights.
    if (name.isEmpty() || !OperatorCommands::saveRights(m_state.connection(), name, functions)) {
        Msg::stop(QStringLiteral("操作员“%1”不存在，权限未保存。").arg(name));
        return;
    }
    Msg::show(QStringLiteral("操作员权限修改完成。"), Msg::Icon::Question);
}

void Frm_czyset::deleteAccount()
{
    if (m_accounts->bof() || m_accounts->eof())
        return;
    const QString name = m_accounts->text(QStringLiteral("czy_name"));
    OperatorCommands::deleteAccount(m_state.connection(), *m_accounts);
    m_accounts->moveNext();
    if (m_accounts->eof() && m_accounts->recordCount() > 0)
        m_accounts->moveLast();
    const int at = m_operator->findText(name, Qt::MatchFixedString);
    if (at >= 0)
        m_operator->removeItem(at);
}
