#include "queries/frmsdsrfind.h"

#include "domain/reports/clsmenu.h"
#include "reports/modreport.h"
#include "domain/shell/appstate.h"
#include "domain/queries/querystatements.h"
#include "ui/errorboundary.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "ui/busycursor.h"
#include "ui/gridexport.h"
#include "ui/messagebox.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

frmsdSRFind::frmsdSRFind(AppState &state, int reportNumber, QWidget *parent)
    : QueryWindow(state, QStringLiteral("frmsdSRFind"), QStringLiteral("时段收入查询"), 8, parent),
      m_reportNumber(reportNumber), m_results(new Recordset(this))
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
    m_number->setText(QString::number(reportNumber));
    m_number->hide();
    auto *hint = new QLabel(QStringLiteral("输入条件时，先填写前面的条件，如果项目名称和要查找项不对则点击下箭头，"
                                           "选择所要的条件，依次填写。"),
                            this);
    hint->setObjectName(QStringLiteral("Label1"));
    hint->setWordWrap(true);
    addBelow(hint);
    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("MsFl"));
    GridExport::install(m_grid);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setMaximumHeight(90);
    addBelow(m_grid);
    resize(720, 560);
}

bool frmsdSRFind::load()
{
    return face_Set();
}

bool frmsdSRFind::loadReport(Clsmenu &menu)
{
    menu.Menutj(m_state.connection(), m_reportNumber);
    if (menu.PrSQl().isEmpty()) {
        Msg::exclamation(QStringLiteral("报表目录中没有编号为“%1”的报表").arg(m_reportNumber));
        return false;
    }
    return true;
}

bool frmsdSRFind::face_Set()
{
    Clsmenu menu;
    if (!loadReport(menu))
        return false;
    openDictionary(FieldDictionary::querySql(menu.Findtjtablename(), true), true);
    // As in the points window: column 0 is the hidden row id, captions from column 1.
    const int names = m_dictionary->fieldIndex(QStringLiteral("colm_name"));
    m_grid->setColumnCount(m_dictionary->recordCount() + 1);
    QStringList headers{QStringLiteral("id")};
    for (int r = 0; r < m_dictionary->recordCount(); ++r)
        headers << m_dictionary->valueAt(r, names).toString();
    m_grid->setHorizontalHeaderLabels(headers);
    m_grid->setColumnHidden(0, true);
    return true;
}

void frmsdSRFind::printlx(const QString &kind)
{
    Clsmenu menu;
    bool found = false;
    if (!ErrorBoundary::run([&] { found = loadReport(menu); }) || !found)
        return;
    const ConditionText text = m_conditions->strtjset(TypeWordTables::periodIncome());
    if (text.unknownField)
        return;
    const bool opened = ErrorBoundary::run([&] {
        BusyCursor busy;
        ModReport::readPrintRowsAhead(m_state.connection(), menu.Prtjtablename());
        m_results->open(QueryStatements::catalogueReportSql(menu.PrSQl(), text.text), &m_state.connection());
    });
    if (!opened)
        return;
    if (m_results->recordCount() > 0)
        ModReport::generate(m_state.connection(), menu.Prtjtablename(), *m_results,
                            kind.toUpper() == QLatin1String("V") ? QStringLiteral("v") : QStringLiteral("P"), this,
                            text.captionText);
    m_conditions->txtsjclear();
}
