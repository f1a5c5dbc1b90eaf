#include "operators/frm_czyrz.h"

#include "shell/appstate.h"
#include "shell/modcwcl.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "ui/boundgrid.h"
#include "ui/busycursor.h"
#include "ui/messagebox.h"
#include "ui/toolbar.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
const QString kCaption = QStringLiteral("操作员日志");
const QDate kNoDate(2000, 1, 1);
} // namespace

Frm_czyrz::Frm_czyrz(AppState &state, QWidget *parent)
    : LoggedWindow(state, kCaption, parent), m_rs(new Recordset(this))
{
    setObjectName(QStringLiteral("Frm_czyrz"));

    auto *title = new QLabel(QStringLiteral("员工工作情况"), this);
    title->setObjectName(QStringLiteral("Label1"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    title->setFont(big);

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("txtname"));
    // The earliest date stands for "no date": the picker shows a blank then.
    m_start = new QDateEdit(this);
    m_start->setObjectName(QStringLiteral("txtkssj"));
    m_start->setCalendarPopup(true);
    m_start->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_start->setMinimumDate(kNoDate);
    m_start->setSpecialValueText(QStringLiteral("（不限日期）"));
    m_start->setDate(kNoDate);
    m_start->setToolTip(QStringLiteral("选最早的日期（显示“不限日期”）表示不按日期查找"));

    auto *filters = new QGridLayout;
    filters->addWidget(new QLabel(QStringLiteral("姓名"), this), 0, 0);
    filters->addWidget(m_name, 0, 1);
    filters->addWidget(new QLabel(QStringLiteral("开始日期"), this), 0, 2);
    filters->addWidget(m_start, 0, 3);
    filters->setColumnStretch(4, 1);

    m_grid = new BoundGrid(this);
    m_grid->setObjectName(QStringLiteral("MSGrid"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeRecordToolbar(this, standardRecordButtons(), [this](const QString &key) { toolbarClicked(key); }));
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addLayout(filters);
    layout->addWidget(m_grid, 1);
    resize(7700 / 15, 6000 / 15);

    openList(QString());
}

Frm_czyrz::~Frm_czyrz() = default;

void Frm_czyrz::showEvent(QShowEvent *event)
{
    LoggedWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // Top of the work area, centred across it.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); sub && sub->mdiArea())
        sub->move(std::max(0, (sub->mdiArea()->viewport()->width() - sub->width()) / 2), 0);
}

QString Frm_czyrz::listSql(const QString &condition)
{
    QString sql = QStringLiteral("select tag,czyname,czyxm,format(init_time,'yyyy-mm-dd hh:mm:ss amPM'),"
                                 "format(last_time,'yyyy-mm-dd hh:mm:ss amPM')  from czyrz where last_time is not null");
    if (!condition.isEmpty())
        sql += QStringLiteral(" and ") + condition;
    return sql;
}

QString Frm_czyrz::findCondition(const QString &name, const QDate &startDate)
{
    QString condition;
    if (!name.isEmpty())
        condition = QStringLiteral("czyname=") + sqlQuote(name);
    if (startDate.isValid()) {
        const QString day = sqlQuote(startDate.toString(QStringLiteral("yyyy-MM-dd")));
        if (!condition.isEmpty())
            condition += QStringLiteral(" and Format(init_time, 'yyyy-MM-dd') =") + day;
        else
            condition = QStringLiteral(" Format(init_time, 'yyyy-MM-dd')=") + day;
    }
    return condition;
}

void Frm_czyrz::openList(const QString &condition)
{
    BusyCursor busy;
    m_rs->open(listSql(condition), &m_state.connection(), LockType::Optimistic);
    m_grid->bind(m_rs);
    msgrid_set();
}

void Frm_czyrz::msgrid_set()
{
    const QStringList captions = {QStringLiteral("序号"), QStringLiteral("操作员姓名"), QStringLiteral("内  容"),
                                  QStringLiteral("开始时间"), QStringLiteral("结束时间")};
    const QList<int> widths = {500, 1300, 1500, 2100, 2100};
    for (int i = 0; i < captions.size(); ++i) {
        m_grid->setCaption(i, captions.at(i));
        m_grid->setColumnWidthTwips(i, widths.at(i));
    }
}

void Frm_czyrz::toolbarClicked(const QString &key)
{
    try {
        if (key == QLatin1String("delete")) {
            if (Msg::show(QStringLiteral("确认删除所有日志吗?"), Msg::Icon::Question, Msg::Buttons::YesNo)
                != Msg::Answer::Yes)
                return;
            m_state.connection().execute(QStringLiteral("delete  * from czyrz where last_time is not null"));
            m_rs->requery();
            m_grid->bind(m_rs);
            msgrid_set();
        } else if (key == QLatin1String("find")) {
            const QDate day = m_start->date() == kNoDate ? QDate() : m_start->date();
            openList(findCondition(m_name->text(), day));
        } else if (key == QLatin1String("exit")) {
            close();
        }
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
    }
}
