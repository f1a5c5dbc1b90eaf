#include "archive/itineraryarea.h"

#include "archive/itinerarydelegates.h"
#include "archive/itinerarymodel.h"
#include "archive/pointscommands.h"
#include "archive/pointsrule.h"
#include "reports/modreport.h"
#include "reports/reportoutput.h"
#include "shell/appstate.h"
#include "shell/modcwcl.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/transactionguard.h"
#include "ui/boundgrid.h"
#include "ui/messagebox.h"

#include <QCheckBox>
#include <QDate>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString kTable = QStringLiteral("hyxc");

// Grid widths set after each fill, in twips; other columns keep their dictionary width.
const QHash<int, int> &fixedWidths()
{
    static const QHash<int, int> widths = {{0, 0},    {1, 0},    {2, 1000}, {3, 1000},  {5, 1000},  {6, 700},
                                           {7, 700},  {8, 700},  {9, 600},  {10, 800},  {11, 700},  {12, 700},
                                           {13, 800}, {14, 800}, {15, 800}, {16, 800},  {17, 600},  {19, 1000},
                                           {20, 800}, {24, 1000}, {25, 1500}};
    return widths;
}

QString today()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace

ItineraryArea::ItineraryArea(AppState &state, QWidget *parent)
    : QGroupBox(parent), m_state(state), m_dictionary(new Recordset(this)), m_rows(new Recordset(this)),
      m_totals(new Recordset(this)), m_model(new ItineraryModel(this))
{
    setObjectName(QStringLiteral("Frame1"));
    setTitle(QStringLiteral("行程"));

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("flRunWay"));
    m_grid->setModel(m_model);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 8);
    m_grid->viewport()->installEventFilter(this);
    connect(m_grid, &QTableView::doubleClicked, this, [this](const QModelIndex &index) { sortByColumn(index.column()); });

    auto *text = new TextCellDelegate(this);
    auto *date = new DateCellDelegate(this);
    auto *airline = new ListCellDelegate(m_state.connection(), QStringLiteral("cmb4"), this);
    auto *domestic = new ListCellDelegate(m_state.connection(), QStringLiteral("Cmb7"), this);
    for (ItineraryDelegate *d : {static_cast<ItineraryDelegate *>(text), static_cast<ItineraryDelegate *>(date),
                                 static_cast<ItineraryDelegate *>(airline), static_cast<ItineraryDelegate *>(domestic)})
        connect(d, &ItineraryDelegate::moveRequested, this, &ItineraryArea::moveCell);
    for (int c = 0; c < 40; ++c) {
        switch (ItineraryModel::editorFor(c)) {
        case ItineraryModel::Editor::Text:
            m_grid->setItemDelegateForColumn(c, text);
            break;
        case ItineraryModel::Editor::Date:
            m_grid->setItemDelegateForColumn(c, date);
            break;
        case ItineraryModel::Editor::List:
            m_grid->setItemDelegateForColumn(c, c == 16 ? domestic : airline);
            break;
        case ItineraryModel::Editor::None:
            break;
        }
    }

    m_summary = new BoundGrid(this);
    m_summary->setObjectName(QStringLiteral("Flhj"));
    m_summary->setFixedHeight(2 * m_summary->verticalHeader()->defaultSectionSize() + 14);
    m_summary->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_summary->setSelectionMode(QAbstractItemView::NoSelection);
    m_summary->setFocusPolicy(Qt::NoFocus);

    m_compute = new QCheckBox(QStringLiteral("当前录入计算积分"), this);
    m_compute->setObjectName(QStringLiteral("ChCKJFjS"));
    m_compute->setChecked(true);
    auto button = [this](const QString &name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    m_add = button(QStringLiteral("add"), QStringLiteral("&A.增加"));
    m_save = button(QStringLiteral("save"), QStringLiteral("&S.保存"));
    m_delete = button(QStringLiteral("cmdDel"), QStringLiteral("&D.删除"));
    auto *preview = button(QStringLiteral("Command3"), QStringLiteral("&Y.预览"));
    auto *print = button(QStringLiteral("Command4"), QStringLiteral("&P.打印"));
    m_edit = new QRadioButton(QStringLiteral("&E.编辑"), this);
    m_edit->setObjectName(QStringLiteral("edit"));
    m_browse = new QRadioButton(QStringLiteral("&L.浏览"), this);
    m_browse->setObjectName(QStringLiteral("brows"));
    m_id = new QLineEdit(this);
    m_id->setObjectName(QStringLiteral("Txtid"));
    m_id->setReadOnly(true);
    m_id->hide();
    connect(m_add, &QPushButton::clicked, this, &ItineraryArea::add_Click);
    connect(m_save, &QPushButton::clicked, this, &ItineraryArea::save_Click);
    connect(m_delete, &QPushButton::clicked, this, &ItineraryArea::khxc_del);
    connect(preview, &QPushButton::clicked, this, [this] { printItinerary(true); });
    connect(print, &QPushButton::clicked, this, [this] { printItinerary(false); });
    connect(m_edit, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setEditMode();
    });
    connect(m_browse, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            setBrowseMode();
    });

    m_stateMenu = new QMenu(QStringLiteral("票据状态"), this);
    m_stateMenu->setObjectName(QStringLiteral("menu_pjzt"));
    QAction *refund = m_stateMenu->addAction(QStringLiteral("当前票据退票"));
    refund->setObjectName(QStringLiteral("menu_tp"));
    QAction *voided = m_stateMenu->addAction(QStringLiteral("当前票据作废"));
    voided->setObjectName(QStringLiteral("menu_zf"));
    connect(refund, &QAction::triggered, this, &ItineraryArea::menu_tp_Click);
    connect(voided, &QAction::triggered, this, &ItineraryArea::menu_zf_Click);

    auto *commands = new QHBoxLayout;
    commands->addWidget(m_compute);
    commands->addSpacing(12);
    commands->addWidget(m_browse);
    commands->addWidget(m_edit);
    commands->addSpacing(12);
    commands->addWidget(m_add);
    commands->addWidget(m_save);
    commands->addWidget(m_delete);
    commands->addStretch();
    commands->addWidget(preview);
    commands->addWidget(print);
    commands->addWidget(m_id);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(commands);
    layout->addWidget(m_grid, 1);
    layout->addWidget(m_summary);

    m_dictionary->open(FieldDictionary::entrySql(kTable, true), &m_state.connection(), LockType::ReadOnly);
    m_browse->setChecked(true);
    setBrowseMode();
}

ItineraryArea::~ItineraryArea() = default;

QString ItineraryArea::get_field() const
{
    QStringList codes;
    const int column = m_dictionary->fieldIndex(QStringLiteral("colm_code"));
    for (int i = 0; i < m_dictionary->recordCount(); ++i)
        codes << m_dictionary->valueAt(i, column).toString();
    return codes.join(QLatin1Char(','));
}

void ItineraryArea::setCustomer(const QString &kh)
{
    m_kh = kh;
    runway_fill();
}

void ItineraryArea::runway_fill()
{
    try {
        m_rows->open(QStringLiteral("select [id],") + get_field() + QStringLiteral(" from ") + kTable
                         + QStringLiteral(" where kh=") + sqlQuote(m_kh),
                     &m_state.connection(), LockType::Optimistic);
        if (m_rows->recordCount() > 0)
            m_model->fill(*m_rows);
        else
            m_model->clearToBlankRow(m_rows->fieldCount());
        flwg_set();
        jifenhuizhong();
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
    }
}

void ItineraryArea::flwg_set()
{
    QStringList headers(m_model->columnCount(), QString());
    const int names = m_dictionary->fieldIndex(QStringLiteral("colm_name"));
    const int sizes = m_dictionary->fieldIndex(QStringLiteral("colm_cd"));
    for (int r = 1; r <= m_dictionary->recordCount() && r < headers.size(); ++r)
        headers[r] = m_dictionary->valueAt(r - 1, names).toString();
    m_model->setHeaders(headers);
    // The widths depend on the dictionary alone: set once, not on every customer.
    if (m_widthsSet == m_model->columnCount())
        return;
    m_widthsSet = m_model->columnCount();
    // The widths were measured in a smaller type: a date filled its 1000 twips.
    // Scale them by how much wider ours writes a date.
    const double scale = std::max(1.0, m_grid->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00")) / 60.0);
    for (int c = 0; c < m_model->columnCount(); ++c) {
        // The first width comes from the size of the stored length value.
        int twips = c >= 1 && c <= m_dictionary->recordCount()
                        ? 220 * static_cast<int>(m_dictionary->valueAt(c - 1, sizes).toString().size())
                        : 0;
        twips = fixedWidths().value(c, twips);
        if (twips <= 0) {
            m_grid->setColumnHidden(c, true);
        } else {
            // Never narrower than the caption.
            m_grid->setColumnHidden(c, false);
            m_grid->setColumnWidth(c, std::max(static_cast<int>(twips / 15.0 * scale) + 8,
                                               m_grid->horizontalHeader()->sectionSizeHint(c)));
        }
    }
}

void ItineraryArea::jifenhuizhong()
{
    if (m_rows->recordCount() == 0) {
        m_summary->unbind();
        m_totals->close();
        return;
    }
    m_totals->open(QStringLiteral("select sum(ZS) as 张数,sum(amount1*ZS) as 公布价,sum(amount2*ZS) as 销售价,"
                                  "sum(amount3*ZS) as [净价],format(sum(jifen),'###00.00')  as 积分合计,"
                                  "format(sum(jifenyue),'##00.00') as 剩余积分 from ")
                       + kTable + QStringLiteral(" where kh=") + sqlQuote(m_kh),
                   &m_state.connection(), LockType::ReadOnly);
    m_summary->bind(m_totals);
    for (int c = 0; c < m_totals->fieldCount(); ++c)
        m_summary->setColumnWidthTwips(c, 1400);
}

bool ItineraryArea::editMode() const
{
    return m_model->editMode();
}

void ItineraryArea::setBrowseMode()
{
    m_grid->closePersistentEditor(m_grid->currentIndex());
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_model->setEditMode(false);
    m_add->hide();
    m_save->hide();
    m_delete->hide();
    if (!m_browse->isChecked())
        m_browse->setChecked(true);
}

void ItineraryArea::setEditMode()
{
    m_model->setEditMode(true);
    m_grid->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked
                            | QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    m_add->show();
    m_save->show();
    m_delete->show();
    if (!m_edit->isChecked())
        m_edit->setChecked(true);
}

int ItineraryArea::currentRow() const
{
    return m_grid->currentIndex().row();
}

void ItineraryArea::moveCell(int rowStep, int columnStep)
{
    const QModelIndex current = m_grid->currentIndex();
    m_grid->setFocus();
    if (!current.isValid() || (rowStep == 0 && columnStep == 0))
        return;
    int row = std::clamp(current.row() + rowStep, 0, m_model->rowCount() - 1);
    int column = current.column() + columnStep;
    while (column < m_model->columnCount() && m_grid->isColumnHidden(column))
        ++column;
    if (column >= m_model->columnCount())
        column = current.column();
    m_grid->setCurrentIndex(m_model->index(row, column));
}

void ItineraryArea::add_Click()
{
    if (!editMode())
        return;
    int row = m_model->rowCount() - 1;
    if (row < 0 || !m_model->cell(row, 1).isEmpty())
        row = m_model->appendRow();
    m_model->setCell(row, 1, m_kh);
    for (int c : {2, 3, 24})
        m_model->setCell(row, c, today());
    m_model->setCell(row, 23, m_state.currentOperator());
    m_model->setCell(row, 20, QStringLiteral("正常"));
    // The first shown column: the card number column is hidden.
    m_grid->setCurrentIndex(m_model->index(row, 2));
    m_grid->setFocus();
}

bool ItineraryArea::saveRow(int row)
{
    m_model->setCell(row, 1, m_kh);
    const QList<QPair<int, QString>> required = {{3, QStringLiteral("出发地不能为空，请重新输入！")},
                                                 {4, QStringLiteral("到达不能为空，请重新输入！")},
                                                 {6, QStringLiteral("不能为空，请重新输入！")},
                                                 {7, QStringLiteral("不能为空，请重新输入！")},
                                                 {8, QStringLiteral("不能为空，请重新输入！")}};
    for (const auto &[column, message] : required) {
        if (m_model->cell(row, column).isEmpty()) {
            Msg::information(message);
            return false;
        }
    }
    const QString id = m_model->cell(row, 0);
    const bool newRow = id.isEmpty();
    RowPoints stored;
    if (!newRow) {
        m_rows->moveFirst();
        if (!m_rows->find(QStringLiteral("id = ") + sqlNumber(id.toLongLong())))
            throw DbException(DbErrorCode::NoCurrentRecord, QStringLiteral("行程记录 %1 已不存在").arg(id));
        stored = {m_rows->value(QStringLiteral("jifen")).toDouble(), m_rows->value(QStringLiteral("jifenyue")).toDouble()};
    } else {
        m_rows->addNew();
    }
    const int last = std::min(ItineraryModel::kLastSavedColumn, m_rows->fieldCount() - 1);
    for (int c = 1; c <= last; ++c) {
        const QString text = m_model->cell(row, c);
        if (!text.isEmpty())
            m_rows->setValue(c, text);
    }
    const RowPoints points = PointsRule::afterSave(m_compute->isChecked(), newRow,
                                                   PointsRule::leadingNumber(m_model->cell(row, 13)),
                                                   PointsRule::leadingNumber(m_model->cell(row, 10)), stored,
                                                   m_model->cell(row, 20));
    m_rows->setValue(QStringLiteral("jifen"), points.jifen);
    m_rows->setValue(QStringLiteral("jifenyue"), points.jifenyue);
    m_rows->update();
    return true;
}

bool ItineraryArea::runway_save(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return false;
    m_grid->setFocus(); // an open editor writes its cell first
    try {
        if (!saveRow(row))
            return false;
    } catch (const DbException &e) {
        if (m_rows->editMode() != Recordset::EditMode::None)
            m_rows->cancelUpdate();
        ModCWCl::err_show(e.error());
        return false;
    }
    runway_fill();
    return true;
}

void ItineraryArea::save_Click()
{
    if (editMode())
        runway_save(currentRow());
}

void ItineraryArea::khxc_del()
{
    if (!editMode() || currentRow() < 0)
        return;
    if (Msg::show(QStringLiteral("确认删除当前记录"), Msg::Icon::Exclamation, Msg::Buttons::OkCancel) != Msg::Answer::Ok)
        return;
    const QString id = m_model->cell(currentRow(), 0);
    try {
        if (!id.isEmpty())
            m_state.connection().execute(QStringLiteral("delete * from ") + kTable + QStringLiteral(" where id=")
                                         + sqlNumber(id.toLongLong()));
    } catch (const DbException &e) {
        ModCWCl::err_show(e.error());
    }
    runway_fill();
}

void ItineraryArea::sortByColumn(int column)
{
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    const QString id = m_model->cell(currentRow(), 0);
    m_model->sortRows(column, m_sortOrder);
    m_id->setText(id);
}

bool ItineraryArea::ticketMenuAllowed() const
{
    return editMode() && currentRow() >= 0 && !m_model->cell(currentRow(), 0).isEmpty();
}

void ItineraryArea::changeTicketState(const QString &state)
{
    const int row = currentRow();
    if (!ticketMenuAllowed())
        return;
    const QList<int> changed = {20, 13, 12, 18, 19};
    QStringList before;
    for (int c : changed)
        before << m_model->cell(row, c);
    m_model->setCell(row, 20, state);
    for (int c : {13, 12, 18, 19})
        m_model->setCell(row, c, QStringLiteral("0"));
    const qint64 id = m_model->cell(row, 0).toLongLong();
    const QString airline = m_model->cell(row, 14);
    bool saved = false;
    try {
        // The row and its log line are written together, the log only once the row is saved.
        TransactionGuard transaction(m_state.connection());
        saved = saveRow(row);
        if (saved) {
            const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            m_state.connection().execute(
                PointsCommands::ticketLogStatement(m_state.currentOperator(), state, airline, id, now));
            transaction.commit();
        }
    } catch (const DbException &e) {
        saved = false;
        if (m_rows->editMode() != Recordset::EditMode::None)
            m_rows->cancelUpdate();
        ModCWCl::err_show(e.error());
    }
    if (!saved) {
        for (int i = 0; i < changed.size(); ++i)
            m_model->setCell(row, changed.at(i), before.at(i));
        // The recordset may hold the refused values; read the rows again.
        if (m_rows->isOpen())
            m_rows->requery();
        return;
    }
    runway_fill();
}

void ItineraryArea::menu_tp_Click()
{
    changeTicketState(QStringLiteral("退票"));
}

void ItineraryArea::menu_zf_Click()
{
    changeTicketState(QStringLiteral("作废"));
}

void ItineraryArea::printItinerary(bool preview)
{
    const QString name = m_customerName ? m_customerName() : QString();
    if (!ModReport::archiveFindSet(m_state.connection(), kTable, QStringLiteral("kh=") + sqlQuote(m_kh), name))
        return;
    if (preview)
        ReportOutput::previewBound(this);
    else
        ReportOutput::printBound(this);
}

bool ItineraryArea::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            const QModelIndex at = m_grid->indexAt(mouse->position().toPoint());
            if (at.isValid())
                m_grid->setCurrentIndex(at);
            if (ticketMenuAllowed())
                m_stateMenu->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}
