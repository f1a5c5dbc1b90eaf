#include "queries/frmkhfind.h"

#include "reports/modreport.h"
#include "domain/shell/appstate.h"
#include "domain/queries/querystatements.h"
#include "store/recordset.h"
#include "ui/gridexport.h"

#include <QPushButton>
#include <QTableWidget>

frmkhFind::frmkhFind(AppState &state, QWidget *parent)
    : QueryWindow(state, QStringLiteral("frmkhFind"), QStringLiteral("积分查询"), 3, parent)
{
    connect(addButton(QStringLiteral("cmdyes"), QStringLiteral("预览(&Y)")), &QPushButton::clicked, this,
            [this] { run(QStringLiteral("v")); });
    connect(addButton(QStringLiteral("Command1"), QStringLiteral("打印(&P)")), &QPushButton::clicked, this,
            [this] { run(QStringLiteral("P")); });
    connect(addButton(QStringLiteral("Cmdquit"), QStringLiteral("关闭(&Q)")), &QPushButton::clicked, this,
            &QWidget::close);
    m_grid = new QTableWidget(this);
    m_grid->setObjectName(QStringLiteral("MsFl"));
    GridExport::install(m_grid);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setMaximumHeight(90);
    addBelow(m_grid);
    resize(720, 360);

}

bool frmkhFind::load()
{
    // As stored, not by xh (the table's index would otherwise give xh order).
    openDictionary(QueryStatements::conditionFieldsSql(QStringLiteral("SUMJIFEN"), true));
    const int rows = m_dictionary->recordCount();
    if (rows > 0) {
        m_grid->setColumnCount(rows + 1);
        m_grid->setColumnHidden(0, true); // the row id
        QStringList headers{QStringLiteral("id")};
        QStringList codes;
        for (int i = 0; i < rows; ++i) {
            headers << m_dictionary->valueAt(i, m_dictionary->fieldIndex(QStringLiteral("colm_name"))).toString();
            codes << m_dictionary->valueAt(i, m_dictionary->fieldIndex(QStringLiteral("colm_code"))).toString();
        }
        m_grid->setHorizontalHeaderLabels(headers);
        m_columns = codes.join(QLatin1Char(','));
    }
    return true;
}

void frmkhFind::run(const QString &mode)
{
    const ConditionText text = m_conditions->strtjset(TypeWordTables::customerPoints());
    if (text.unknownField || m_columns.isEmpty())
        return;
    // The first page shows while the rest is read.
    ModReport::generateFrom(m_state.connection(), QStringLiteral("SUMJIFEN"),
                            QueryStatements::customerPointsSql(m_columns, text.text), mode, this);
    m_conditions->txtsjclear();
}
