#include "operators/frm_czyset.h"

#include "shell/appstate.h"
#include "shell/modcwcl.h"
#include "shell/rights.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "ui/boundgrid.h"
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

    // The accounts as they are now; an account added here shows the next time the window opens.
    m_accounts->open(QStringLiteral("select * from czyzd where sys_tag=false"), &m_state.connection(), LockType::Optimistic);
    m_grid->bind(m_accounts);
    m_grid->setColumnHidden(0, true);
    m_grid->setColumnHidden(2, true);
    m_grid->setCaption(1, QStringLiteral("操作员姓名"));
    m_grid->setCaption(3, QStringLiteral("系统帐号"));
    const int nameColumn = m_accounts->fieldIndex(QStringLiteral("czy_Name"));
    for (int i = 0; i < m_accounts->recordCount(); ++i)
        m_operator->addItem(m_accounts->valueAt(i, nameColumn).toString());
    if (m_accounts->recordCount() > 0)
        m_operator->setCurrentIndex(0);
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

void Frm_czyset::CzyqxStar()
{
    try {
        Recordset rights;
        rights.open(QStringLiteral("select * from czy where name=") + sqlQuote(m_operator->currentText()),
                    &m_state.connection(), LockType::ReadOnly);
        for (int i = 0; i < m_functions->count(); ++i)
            m_functions->item(i)->setCheckState(Qt::Unchecked);
        for (int r = 0; r < rights.recordCount(); ++r) {
            rights.moveTo(r);
            const auto items = m_functions->findItems(rights.text(QStringLiteral("nr")), Qt::MatchExactly);
            if (!items.isEmpty())
                items.first()->setCheckState(Qt::Checked);
        }
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
    }
}

void Frm_czyset::toolbarClicked(const QString &key)
{
    try {
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
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
    }
}

void Frm_czyset::addAccount()
{
    Recordset existing;
    existing.open(QStringLiteral("select * from  czyzd where czy_name=") + sqlQuote(m_name->text()),
                  &m_state.connection(), LockType::ReadOnly);
    if (existing.recordCount() > 0) {
        Msg::exclamation(QStringLiteral("操作员姓名重复，请重新输入。"));
        return;
    }
    if (m_name->text().isEmpty() || m_password->text().isEmpty())
        return;
    if (m_password->text() != m_repeat->text()) {
        Msg::stop(QStringLiteral("口令输入不一致，请重新输入"));
        return;
    }
    m_state.connection().execute(QStringLiteral("insert into  czyzd(czy_name,czy_pass) values(") + sqlQuote(m_name->text())
                                 + QLatin1Char(',') + sqlQuote(m_password->text()) + QLatin1Char(')'));
    m_adding = false;
    Msg::show(QStringLiteral("操作员增加完成。"), Msg::Icon::Question);
}

void Frm_czyset::saveRights()
{
    const QString name = m_operator->currentText();
    // The operator's number comes from the accounts list; a name without an account gets no rights.
    bool found = false;
    if (m_accounts->recordCount() > 0 && !name.isEmpty()) {
        m_accounts->moveFirst();
        found = m_accounts->find(QStringLiteral("czy_name=") + sqlQuote(name));
    }
    if (!found) {
        Msg::stop(QStringLiteral("操作员“%1”不存在，权限未保存。").arg(name));
        return;
    }
    const qint64 number = static_cast<qint16>(m_accounts->value(QStringLiteral("czy_no")).toInt());
    {
        TransactionGuard transaction(m_state.connection());
        m_state.connection().execute(QStringLiteral("delete * from czy where name=") + sqlQuote(name));
        for (int i = 0; i < m_functions->count(); ++i) {
            const QListWidgetItem *item = m_functions->item(i);
            if (item->checkState() != Qt::Checked)
                continue;
            m_state.connection().execute(QStringLiteral("insert into czy([name],czy_id,nr) ")
                                         + QStringLiteral(" values(") + sqlQuote(name) + QLatin1Char(',')
                                         + sqlNumber(number) + QLatin1Char(',') + sqlQuote(item->text())
                                         + QLatin1Char(')'));
        }
        transaction.commit();
    }
    Msg::show(QStringLiteral("操作员权限修改完成。"), Msg::Icon::Question);
}

void Frm_czyset::deleteAccount()
{
    if (m_accounts->bof() || m_accounts->eof())
        return;
    const QString name = m_accounts->text(QStringLiteral("czy_name"));
    const int deletedAt = m_accounts->currentIndex();
    try {
        // The account and its rights go together: a later account of the same
        // name must not inherit them.
        TransactionGuard transaction(m_state.connection());
        m_state.connection().execute(QStringLiteral("delete * from czy where name=") + sqlQuote(name));
        m_accounts->deleteCurrent();
        transaction.commit();
    } catch (const DbException &) {
        // Rolled back, but the row may have left the list already (a commit
        // that failed): show the accounts the file still holds.
        m_accounts->requery();
        if (m_accounts->recordCount() > 0)
            m_accounts->moveTo(std::min(deletedAt, m_accounts->recordCount() - 1));
        throw;
    }
    m_accounts->moveNext();
    if (m_accounts->eof() && m_accounts->recordCount() > 0)
        m_accounts->moveLast();
    const int at = m_operator->findText(name, Qt::MatchFixedString);
    if (at >= 0)
        m_operator->removeItem(at);
}
