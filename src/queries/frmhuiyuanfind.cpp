#include "queries/frmhuiyuanfind.h"

#include "domain/archive/customercommands.h"
#include "domain/archive/pinyinmatcher.h"
#include "domain/queries/querystatements.h"
#include "reports/modreport.h"
#include "domain/shell/appstate.h"
#include "store/recordset.h"
#include "ui/boundgrid.h"
#include "ui/busycursor.h"
#include "ui/errorboundary.h"

#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
// Results shown at once; the rest are read while the window waits.
constexpr int kFirstRows = 500;
}

frmHuiYuanFind::frmHuiYuanFind(AppState &state, QWidget *parent)
    : QueryWindow(state, QStringLiteral("frmHuiYuanFind"), QStringLiteral("会员行程查询"), 3, parent),
      m_results(new Recordset(this))
{
    connect(addButton(QStringLiteral("cmdview"), QStringLiteral("预览(&V)")), &QPushButton::clicked, this,
            &frmHuiYuanFind::cmdview_Click);
    connect(addButton(QStringLiteral("Cmdfind"), QStringLiteral("查询(&F)")), &QPushButton::clicked, this,
            &frmHuiYuanFind::Cmdfind_Click);
    connect(addButton(QStringLiteral("Cmdprint"), QStringLiteral("打印(&P)")), &QPushButton::clicked, this,
            &frmHuiYuanFind::Cmdprint_Click);
    connect(addButton(QStringLiteral("Cmdquit"), QStringLiteral("关闭(&Q)")), &QPushButton::clicked, this,
            &QWidget::close);

    // The conditions stay where they are; the tabs switch between them and the results.
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    auto *conditionsTab = new QWidget(m_tabs);
    auto *conditionsLayout = new QVBoxLayout(conditionsTab);
    conditionsLayout->addWidget(m_conditions);
    m_tabs->addTab(conditionsTab, QStringLiteral("条件"));
    m_grid = new BoundGrid(m_tabs);
    m_grid->setObjectName(QStringLiteral("MsFl"));
    m_tabs->addTab(m_grid, QStringLiteral("浏览"));
    setMainArea(m_tabs);
    resize(760, 520);
}

bool frmHuiYuanFind::load()
{
    openOwnConnection();
    openDictionary(QueryStatements::conditionFieldsSql(QStringLiteral("hyxc")));
    return true;
}

void frmHuiYuanFind::Cmdfind_Click()
{
    const ConditionText text = conditionText();
    if (text.unknownField)
        return;
    if (!text.text.isEmpty()) {
        const bool found = ErrorBoundary::run([&] {
            BusyCursor busy;
            // The first rows are shown at once, the rest join the grid while the window waits.
            m_results->setFirstRows(kFirstRows);
            m_results->open(QueryStatements::memberItinerarySql(text.text), &m_state.connection());
            if (!m_results->hasRow(0)) {
                m_grid->unbind();
                return;
            }
            m_grid->bind(m_results);
            // Captions from the itinerary's print rows where they name a column.
            const int codes = m_dictionary->fieldIndex(QStringLiteral("colm_code"));
            const int names = m_dictionary->fieldIndex(QStringLiteral("colm_name"));
            for (int c = 0; c < m_results->fieldCount(); ++c)
                for (int r = 0; r < m_dictionary->recordCount(); ++r)
                    if (m_dictionary->valueAt(r, codes).toString().compare(m_results->fieldName(c), Qt::CaseInsensitive) == 0)
                        m_grid->setCaption(c, m_dictionary->valueAt(r, names).toString());
            m_tabs->setCurrentIndex(1);
        });
        if (!found)
            return;
    }
    m_conditions->txtsjclear();
}

ConditionText frmHuiYuanFind::conditionText()
{
    return m_conditions->strtjset(TypeWordTables::statistics(), {},
                                  [this](const ConditionField &field, const ConditionRow &row,
                                         const QString &term) -> std::optional<QString> {
        const PinyinMatcher pinyin(row.value);
        if (field.code.compare(QLatin1String("kh"), Qt::CaseInsensitive) != 0 || row.op != QLatin1String("=")
            || !pinyin.isValid())
            return std::nullopt;
        // Read afresh each time: customers are added in other windows meanwhile.
        QStringList names;
        ErrorBoundary::run([&] { names = CustomerCommands::namesMatching(queryConnection(), pinyin); });
        if (names.isEmpty())
            return std::nullopt;
        return QueryStatements::cardTermOrNamed(term, names);
    });
}

void frmHuiYuanFind::previewOrPrint(bool preview)
{
    const ConditionText text = conditionText();
    if (text.unknownField || text.text.isEmpty())
        return;
    const QString covers = QStringLiteral("条件：") + text.words;
    showReport([&] { return ModReport::statisticsFindSet(queryConnection(), QStringLiteral("hyxc"), text.text,
                                                         PeriodTotals::Period::Day, covers); },
               preview);
    m_conditions->txtsjclear();
}

void frmHuiYuanFind::cmdview_Click()
{
    previewOrPrint(true);
}

void frmHuiYuanFind::Cmdprint_Click()
{
    previewOrPrint(false);
}
