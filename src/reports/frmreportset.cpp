#include "reports/frmreportset.h"

#include "ui/errorboundary.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "ui/boundgrid.h"
#include "ui/messagebox.h"
#include "ui/recordsetmodel.h"
#include "ui/toolbar.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kTypeColumn = 5;  // colm_type
constexpr int kAlignColumn = 8; // colm_dq

// Draws a small button at the right of the cell and reports clicks on it.
class CellButtonDelegate : public QStyledItemDelegate
{
public:
    CellButtonDelegate(std::function<void(int)> clicked, QObject *parent)
        : QStyledItemDelegate(parent), m_clicked(std::move(clicked))
    {
    }

    static QRect buttonRect(const QRect &cell) { return QRect(cell.right() - 17, cell.top() + 1, 17, cell.height() - 2); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionButton button;
        button.rect = buttonRect(option.rect);
        button.text = QStringLiteral("…");
        button.state = QStyle::State_Enabled | QStyle::State_Raised;
        QApplication::style()->drawControl(QStyle::CE_PushButton, &button, painter);
    }

    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override
    {
        if (event->type() == QEvent::MouseButtonRelease) {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            if (buttonRect(option.rect).contains(mouse->position().toPoint())) {
                m_clicked(index.column());
                return true;
            }
        }
        return QStyledItemDelegate::editorEvent(event, model, option, index);
    }

private:
    std::function<void(int)> m_clicked;
};

} // namespace

const QStringList &FrmreportSet::headers()
{
    static const QStringList h = {QStringLiteral("顺序号"),       QStringLiteral("报表英文名"),   QStringLiteral("报表中文名"),
                                  QStringLiteral("字段英文名"),   QStringLiteral("字段中文名"),   QStringLiteral("数报类型"),
                                  QStringLiteral("打印字段字长"), QStringLiteral("是否汇总求和"), QStringLiteral("对齐方式"),
                                  QStringLiteral("是否打印"),     QStringLiteral("说明")};
    return h;
}

FrmreportSet::FrmreportSet(Connection &connection, QWidget *parent)
    : QWidget(parent), m_connection(connection), m_rs(new Recordset(this))
{
    setObjectName(QStringLiteral("FrmreportSet"));
    setWindowTitle(QStringLiteral("打印报表设置"));

    m_grid = new BoundGrid(this);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    auto *buttons = new CellButtonDelegate([this](int column) { showPickList(column); }, this);
    m_grid->setItemDelegateForColumn(kTypeColumn, buttons);
    m_grid->setItemDelegateForColumn(kAlignColumn, buttons);

    auto *note = new QLabel(QStringLiteral("汇总求和字段，0表示不汇总当前列，1表示汇总当前列. 是否打印字段 1为打印 0 为不打印"), this);
    note->setObjectName(QStringLiteral("Label1"));
    note->setWordWrap(true);

    auto button = [this](const QString &name, const QString &text) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        return b;
    };
    m_add = button(QStringLiteral("cmdzj"), QStringLiteral("增加"));
    m_modify = button(QStringLiteral("cmdxg"), QStringLiteral("修改"));
    m_save = button(QStringLiteral("cmdbc"), QStringLiteral("保存"));
    m_cancel = button(QStringLiteral("cmdqx"), QStringLiteral("取消"));
    m_delete = button(QStringLiteral("cmdsc"), QStringLiteral("删除"));
    m_exit = button(QStringLiteral("cmdtc"), QStringLiteral("退出"));
    connect(m_add, &QPushButton::clicked, this, &FrmreportSet::cmdzj_Click);
    connect(m_modify, &QPushButton::clicked, this, &FrmreportSet::cmdxg_Click);
    connect(m_save, &QPushButton::clicked, this, &FrmreportSet::cmdbc_Click);
    connect(m_cancel, &QPushButton::clicked, this, &FrmreportSet::cmdqx_Click);
    connect(m_delete, &QPushButton::clicked, this, &FrmreportSet::cmdsc_Click);
    connect(m_exit, &QPushButton::clicked, this, &QWidget::close);

    auto *row = new QHBoxLayout;
    for (QPushButton *b : makeMoveButtons(this, QStringLiteral("cmdmove%1"), 1, [this](int i) { move(i + 1); }))
        row->addWidget(b);
    row->addStretch();
    for (QPushButton *b : {m_add, m_modify, m_save, m_cancel, m_delete, m_exit})
        row->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addWidget(note);
    layout->addLayout(row);

    m_types = makePickList(QStringLiteral("FlDict"), {QStringLiteral("类型"), QStringLiteral("说明")},
                           {{QStringLiteral("TXT"), QStringLiteral("字符型 日期")},
                            {QStringLiteral("BFL"), QStringLiteral("百分率")},
                            {QStringLiteral("MON"), QStringLiteral("数值 货币")}});
    m_aligns = makePickList(QStringLiteral("FlDq"), {QStringLiteral("对齐方式"), QStringLiteral("说明")},
                            {{QStringLiteral("C"), QStringLiteral("居中")},
                             {QStringLiteral("R"), QStringLiteral("右对齐")},
                             {QStringLiteral("L"), QStringLiteral("左对齐")}});

    m_save->setEnabled(false);
    m_cancel->setEnabled(false);
    m_grid->setEditable(false);
    resize(960, 520);
}

bool FrmreportSet::load()
{
    m_rs->open(FieldDictionary::allPrintRowsSql(), &m_connection, LockType::Optimistic);
    m_grid->bind(m_rs);
    for (int i = 0; i < headers().size(); ++i)
        m_grid->setCaption(i, headers().at(i));
    m_grid->resizeColumnsToContents();
    return true;
}

FrmreportSet::~FrmreportSet() = default;

QTableWidget *FrmreportSet::makePickList(const QString &name, const QStringList &header,
                                         const QList<QPair<QString, QString>> &rows)
{
    auto *list = new QTableWidget(static_cast<int>(rows.size()), 2, this);
    list->setObjectName(name);
    list->setHorizontalHeaderLabels(header);
    list->verticalHeader()->hide();
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < rows.size(); ++r) {
        list->setItem(r, 0, new QTableWidgetItem(rows.at(r).first));
        list->setItem(r, 1, new QTableWidgetItem(rows.at(r).second));
    }
    list->setColumnWidth(0, 70);
    list->setColumnWidth(1, 1500 / 15);
    list->setFixedSize(70 + 100 + 4, list->horizontalHeader()->height() + rows.size() * list->rowHeight(0) + 4);
    list->hide();
    list->installEventFilter(this);
    connect(list, &QTableWidget::cellDoubleClicked, this, [this, list](int r, int) { choosePick(list, r); });
    return list;
}

void FrmreportSet::setState(State state)
{
    m_state = state;
    const bool browsing = state == State::Browsing;
    m_add->setEnabled(state != State::Modifying);
    m_modify->setEnabled(browsing);
    m_delete->setEnabled(browsing);
    m_exit->setEnabled(browsing);
    m_save->setEnabled(!browsing);
    m_cancel->setEnabled(!browsing);
    m_grid->setEditable(!browsing);
}

void FrmreportSet::cmdzj_Click()
{
    try {
        m_rs->addNew();
    } catch (const DbException &e) {
        ErrorBoundary::report(e.error());
        return;
    }
    setState(State::Adding);
    m_grid->setCurrentIndex(m_grid->model()->index(m_rs->currentIndex(), 0));
    m_grid->setFocus();
}

void FrmreportSet::cmdxg_Click()
{
    try {
        m_rs->update();
    } catch (const DbException &e) {
        ErrorBoundary::report(e.error());
        return;
    }
    setState(State::Modifying);
    if (m_rs->currentIndex() >= 0)
        m_grid->setCurrentIndex(m_grid->model()->index(m_rs->currentIndex(), 0));
    m_grid->setFocus();
}

void FrmreportSet::cmdbc_Click()
{
    try {
        m_rs->update();
    } catch (const DbException &e) {
        // The row stays in editing with what was typed.
        ErrorBoundary::report(e.error());
        return;
    }
    setState(State::Browsing);
}

void FrmreportSet::cmdqx_Click()
{
    m_grid->unbind();
    if (m_rs->isOpen())
        m_rs->cancelUpdate();
    m_grid->bind(m_rs);
    for (int i = 0; i < headers().size(); ++i)
        m_grid->setCaption(i, headers().at(i));
    setState(State::Browsing);
}

void FrmreportSet::cmdsc_Click()
{
    if (Msg::show(QStringLiteral("是否真的删除此条记录？"), Msg::Icon::Question, Msg::Buttons::YesNo) != Msg::Answer::Yes)
        return;
    if (m_rs->bof() || m_rs->eof())
        return;
    try {
        m_rs->deleteCurrent();
        m_rs->moveNext();
        if (m_rs->eof() && m_rs->recordCount() > 0)
            m_rs->moveLast();
    } catch (const DbException &e) {
        ErrorBoundary::report(e.error());
    }
}

void FrmreportSet::move(int button)
{
    try {
        switch (button) {
        case 1:
            if (m_rs->recordCount() > 0)
                m_rs->moveFirst();
            break;
        case 2:
            if (!m_rs->bof())
                m_rs->movePrevious();
            break;
        case 3:
            if (!m_rs->eof())
                m_rs->moveNext();
            break;
        case 4:
            if (m_rs->recordCount() > 0)
                m_rs->moveLast();
            break;
        }
    } catch (const DbException &e) {
        ErrorBoundary::report(e.error());
    }
}

void FrmreportSet::showPickList(int column)
{
    if (!m_save->isEnabled())
        return;
    QTableWidget *list = column == kTypeColumn ? m_types : (column == kAlignColumn ? m_aligns : nullptr);
    if (!list)
        return;
    m_pickColumn = column;
    const int row = std::max(0, m_grid->currentIndex().row());
    const int rowHeight = m_grid->verticalHeader()->defaultSectionSize();
    const QRect cell = m_grid->visualRect(m_grid->model()->index(row, column));
    int top = m_grid->y() + rowHeight * (row + 3);
    top = std::min(top, height() - list->height());
    list->move(std::clamp(m_grid->x() + cell.left(), 0, std::max(0, width() - list->width())), std::max(0, top));
    list->show();
    list->raise();
    list->setFocus();
}

void FrmreportSet::choosePick(QTableWidget *list, int row)
{
    const QString code = list->item(row, 0)->text();
    list->hide();
    if (m_pickColumn < 0 || m_rs->bof() || m_rs->eof())
        return;
    try {
        m_rs->setValue(m_pickColumn, code);
    } catch (const DbException &e) {
        ErrorBoundary::report(e.error());
    }
}

bool FrmreportSet::eventFilter(QObject *watched, QEvent *event)
{
    // The type list goes away when it loses the focus; the alignment list only when a row is chosen.
    if (watched == m_types && event->type() == QEvent::FocusOut)
        m_types->hide();
    return QWidget::eventFilter(watched, event);
}
