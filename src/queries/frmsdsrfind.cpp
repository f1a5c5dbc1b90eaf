#include "queries/frmsdsrfind.h"

#include "reports/clsmenu.h"
#include "reports/modreport.h"
#include "reports/reporttemplate.h"
#include "shell/appstate.h"
#include "shell/modcwcl.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "ui/busycursor.h"
#include "ui/messagebox.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

frmsdSRFind::frmsdSRFind(AppState &state, QWidget *parent)
    : QueryWindow(state, QStringLiteral("frmsdSRFind"), QStringLiteral("时段收入查询"), 8, parent),
      m_results(new Recordset(this))
{
    connect(addButton(QStringLiteral("cmdyes"), QStringLiteral("预览(&Y)")), &QPushButton::clicked, this,
            [this] { printlx(QStringLiteral("V")); });
    connect(addButton(QStringLiteral("Command1"), QStringLiteral("打印(&P)")), &QPushButton::clicked, this,
            [this] { printlx(QStringLiteral("P")); });
    connect(addButton(QStringLiteral("Cmdquit"), QStringLiteral("关闭(&Q)")), &QPushButton::clicked, this,
            &QWidget::close);
    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("Txtxh"));
    m_number->setReadOnly(true);
    m_number->hide();
    auto *hint = new QLabel(QStringLiteral("输入条件时，先填写前面的条件，如果项目名称和要查找项不对则点击下箭头，"
                                           "选择所要的条件，依次填写。"),
                            this);
    hint->setObjectName(QStringLiteral("Label1"));
    hint->setWordWrap(true);
    addBelow(hint);
    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("MsFl"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setMaximumHeight(90);
    addBelow(m_grid);
    resize(720, 560);
}

void frmsdSRFind::showEvent(QShowEvent *event)
{
    QueryWindow::showEvent(event);
    if (!m_setUp)
        face_Set();
}

int frmsdSRFind::reportNumber(bool *ok) const
{
    return m_number->text().trimmed().toInt(ok);
}

bool frmsdSRFind::loadReport(Clsmenu &menu)
{
    bool ok = false;
    const int number = reportNumber(&ok);
    try {
        if (ok)
            menu.Menutj(m_state.connection(), number);
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
        return false;
    }
    if (menu.PrSQl().isEmpty()) {
        Msg::exclamation(QStringLiteral("报表目录中没有编号为“%1”的报表").arg(m_number->text()));
        return false;
    }
    return true;
}

bool frmsdSRFind::face_Set()
{
    m_setUp = true;
    Clsmenu menu;
    if (!loadReport(menu))
        return false;
    try {
        openDictionary(FieldDictionary::querySql(menu.Findtjtablename(), true), true);
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
        return false;
    }
    const int names = m_dictionary->fieldIndex(QStringLiteral("colm_name"));
    m_grid->setColumnCount(m_dictionary->recordCount());
    QStringList headers;
    for (int r = 0; r < m_dictionary->recordCount(); ++r)
        headers << m_dictionary->valueAt(r, names).toString();
    m_grid->setHorizontalHeaderLabels(headers);
    return true;
}

void frmsdSRFind::printlx(const QString &kind)
{
    Clsmenu menu;
    if (!loadReport(menu))
        return;
    const ConditionText text = m_conditions->strtjset(TypeWordTables::periodIncome());
    if (text.unknownField)
        return;
    const QString sql = text.text.isEmpty() ? menu.PrSQl() : menu.PrSQl() + QStringLiteral("  WHERE ") + text.text;
    try {
        BusyCursor busy;
        m_results->open(sql, &m_state.connection(), LockType::ReadOnly);
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
        return;
    }
    if (m_results->recordCount() > 0) {
        ReportMod().subtitle = text.captionText;
        ModReport::generate(m_state.connection(), menu.Prtjtablename(), *m_results,
                            kind.toUpper() == QLatin1String("V") ? QStringLiteral("v") : QStringLiteral("P"), this);
    }
    m_conditions->txtsjclear();
}
