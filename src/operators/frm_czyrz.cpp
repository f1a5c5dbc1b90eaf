#include "operators/frm_czyrz.h"

#include "domain/operators/mod_czywrite.h"
#include "domain/shell/appstate.h"
#include "store/recordset.h"
#include "ui/boundgrid.h"
#include "ui/busycursor.h"
#include "ui/errorboundary.h"
#include "ui/messagebox.h"
#include "ui/toolbar.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QToolBar>
#include <QVBoxLayout>

namespace {
const QString kCaption = QStringLiteral("操作员日志");
}

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
    // "No date" is the unticked box: any day can be searched for.
    m_byDate = new QCheckBox(QStringLiteral("开始日期"), this);
    m_byDate->setObjectName(QStringLiteral("chkkssj"));
    m_start = new QDateEdit(QDate::currentDate(), this);
    m_start->setObjectName(QStringLiteral("txtkssj"));
    m_start->setCalendarPopup(true);
    m_start->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_start->setEnabled(false);
    connect(m_byDate, &QCheckBox::toggled, m_start, &QWidget::setEnabled);

    auto *filters = new QGridLayout;
    filters->addWidget(new QLabel(QStringLiteral("姓名"), this), 0, 0);
    filters->addWidget(m_name, 0, 1);
    filters->addWidget(m_byDate, 0, 2);
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
}

Frm_czyrz::~Frm_czyrz() = default;

bool Frm_czyrz::loadData()
{
    openList(QString());
    return true;
}

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

void Frm_czyrz::openList(const QString &condition)
{
    BusyCursor busy;
    m_listedAt = Mod_czywrite::now(m_state.connection());
    m_rs->open(Mod_czywrite::listSql(condition), &m_state.connection());
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

void Frm_czyrz::deleteClosed()
{
    if (Msg::show(QStringLiteral("确认删除所有日志吗?"), Msg::Icon::Question, Msg::Buttons::YesNo) != Msg::Answer::Yes)
        return;
    const int shown = m_rs->recordCount();
    // Only what had been closed when the list was read goes: an entry another
    // seat closed since then was never shown here.
    const int deleted = Mod_czywrite::deleteClosed(m_state.connection(), m_listedAt);
    m_listedAt = Mod_czywrite::now(m_state.connection());
    m_rs->requery();
    m_grid->bind(m_rs);
    msgrid_set();
    if (deleted == 0 && shown > 0)
        throw DbException::conflict();
}

void Frm_czyrz::toolbarClicked(const QString &key)
{
    ErrorBoundary::run([&] {
        if (key == QLatin1String("delete")) {
            deleteClosed();
        } else if (key == QLatin1String("find")) {
            const QDate day = m_byDate->isChecked() ? m_start->date() : QDate();
            openList(Mod_czywrite::findCondition(m_name->text(), day));
        } else if (key == QLatin1String("exit")) {
            close();
        }
    });
}
