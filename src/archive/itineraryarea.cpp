#include "archive/itineraryarea.h"

#include "archive/itinerarydelegates.h"
#include "archive/itinerarymodel.h"
#include "domain/archive/pointsrule.h"
#include "domain/archive/ticketcolumn.h"
#include "domain/archive/ticketcommands.h"
#include "reports/modreport.h"
#include "domain/shell/appstate.h"
#include "store/connection.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "ui/boundgrid.h"
#include "ui/gridexport.h"
#include "ui/errorboundary.h"
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

using namespace TicketColumn;
const QString kTable = QStringLiteral("hyxc");

// Grid widths set after each fill, in twips; other columns keep their dictionary width.
const QHash<int, int> &fixedWidths()
{
    static const QHash<int, int> widths = {
        {Id, 0},            {CardNumber, 0},     {SaleDate, 1000},      {FlightDate, 1000}, {Departure, 1000},
        {Flight, 700},      {Cabin, 700},        {TicketNumber, 700},   {Count, 600},       {PublishedPrice, 800},
        {Discount, 700},    {SalePrice, 700},    {PointsRate, 800},     {Airline, 800},     {DepartureTime, 800},
        {Domestic, 800},    {Insurance, 600},    {AgentFee, 1000},      {State, 800},       {EntryDate, 1000},
        {Remark, 1500}};
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
    m_delegates = {text, date, airline, domestic};
    for (ItineraryDelegate *d : m_delegates)
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
            m_grid->setItemDelegateForColumn(c, c == Domestic ? domestic : airline);
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

    m_browse->setChecked(true);
    setBrowseMode();
}

ItineraryArea::~ItineraryArea() = default;

void ItineraryArea::load()
{
    m_dictionary->open(FieldDictionary::entrySql(kTable, true), &m_state.connection());
}

void ItineraryArea::loadAhead()
{
    m_state.connection().readAhead(FieldDictionary::entrySql(kTable, true));
}

QStringList ItineraryArea::get_field() const
{
    QStringList codes;
    const int column = m_dictionary->fieldIndex(QStringLiteral("colm_code"));
    for (int i = 0; i < m_dictionary->recordCount(); ++i)
        codes << m_dictionary->valueAt(i, column).toString();
    return codes;
}

void ItineraryArea::setCustomer(const QString &kh)
{
    m_kh = kh;
    runway_fill();
}

void ItineraryArea::prepareCustomer(const QString &kh)
{
    forgetPrepared();
    if (m_locked || !m_dictionary->isOpen())
        return;
    auto rows = std::make_unique<Recordset>(this);
    auto totals = std::make_unique<Recordset>(this);
    rows->open(TicketCommands::itinerarySql(get_field()), &m_state.connection(), LockType::Optimistic, {kh});
    if (rows->recordCount() > 0)
        totals->open(TicketCommands::totalsSql(), &m_state.connection(), LockType::ReadOnly, {kh});
    m_prepared = {kh, rows.release(), totals.release()};
}

void ItineraryArea::forgetPrepared()
{
    delete m_prepared.rows;
    delete m_prepared.totals;
    m_prepared = {};
}

void ItineraryArea::setLocked(bool locked)
{
    m_locked = locked;
    setEnabled(!locked);
    if (locked)
        setBrowseMode();
    runway_fill();
}

void ItineraryArea::fill()
{
    if (m_locked || !m_dictionary->isOpen()) {
        m_rows->close();
        m_model->clearToBlankRow(m_dictionary->recordCount() + 1);
    } else {
        m_summary->unbind();
        if (m_prepared.rows && m_prepared.kh == m_kh) {
            // Read before the window moved here: shown as read.
            std::swap(m_rows, m_prepared.rows);
            std::swap(m_totals, m_prepared.totals);
            forgetPrepared();
        } else {
            forgetPrepared();
            m_totals->close();
            m_rows->open(TicketCommands::itinerarySql(get_field()), &m_state.connection(), LockType::Optimistic, {m_kh});
        }
        if (m_rows->recordCount() > 0)
            m_model->fill(*m_rows);
        else
            m_model->clearToBlankRow(m_rows->fieldCount());
    }
    flwg_set();
    jifenhuizhong();
}

void ItineraryArea::runway_fill()
{
    ErrorBoundary::run([this] { fill(); });
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
    if (!m_rows->isOpen() || m_rows->recordCount() == 0) {
        m_summary->unbind();
        m_totals->close();
        return;
    }
    if (!m_totals->isOpen())
        m_totals->open(TicketCommands::totalsSql(), &m_state.connection(), LockType::ReadOnly, {m_kh});
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
    commitEditors();
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
    if (m_locked) {
        m_browse->setChecked(true);
        return;
    }
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
    if (!editMode() || m_locked)
        return;
    int row = m_model->rowCount() - 1;
    if (row < 0 || !m_model->cell(row, CardNumber).isEmpty())
        row = m_model->appendRow();
    m_model->setCell(row, CardNumber, m_kh);
    for (int c : {SaleDate, FlightDate, EntryDate})
        m_model->setCell(row, c, today());
    m_model->setCell(row, Operator, m_state.currentOperator());
    m_model->setCell(row, State, QStringLiteral("正常"));
    // The first shown column: the card number column is hidden.
    m_grid->setCurrentIndex(m_model->index(row, SaleDate));
    m_grid->setFocus();
}

void ItineraryArea::commitEditors()
{
    for (ItineraryDelegate *d : m_delegates)
        d->commitOpenEditor();
}

bool ItineraryArea::stageRow(int row)
{
    m_model->setCell(row, CardNumber, m_kh);
    const QList<QPair<int, QString>> required = {{FlightDate, QStringLiteral("出发地不能为空，请重新输入！")},
                                                 {Destination, QStringLiteral("到达不能为空，请重新输入！")},
                                                 {Flight, QStringLiteral("不能为空，请重新输入！")},
                                                 {Cabin, QStringLiteral("不能为空，请重新输入！")},
                                                 {TicketNumber, QStringLiteral("不能为空，请重新输入！")}};
    for (const auto &[column, message] : required) {
        if (m_model->cell(row, column).isEmpty()) {
            Msg::information(message);
            return false;
        }
    }
    const int stored = m_model->storedRow(row);
    const bool newRow = stored < 0;
    RowPoints points;
    if (!newRow) {
        m_rows->moveTo(stored);
        points = {m_rows->value(QStringLiteral("jifen")).toDouble(), m_rows->value(QStringLiteral("jifenyue")).toDouble()};
    } else {
        m_rows->addNew();
    }
    const int last = std::min<int>(LastSaved, m_rows->fieldCount() - 1);
    for (int c = CardNumber; c <= last; ++c) {
        const QString text = m_model->cell(row, c);
        // An emptied cell of a stored row is saved empty; a new row leaves its defaults.
        if (!text.isEmpty())
            m_rows->setValue(c, text);
        else if (!newRow && !m_rows->value(c).isNull())
            m_rows->setValue(c, QVariant());
    }
    points = PointsRule::afterSave(m_compute->isChecked(), newRow, PointsRule::leadingNumber(m_model->cell(row, PointsRate)),
                                   PointsRule::leadingNumber(m_model->cell(row, PublishedPrice)), points,
                                   m_model->cell(row, State));
    m_rows->setValue(QStringLiteral("jifen"), points.jifen);
    m_rows->setValue(QStringLiteral("jifenyue"), points.jifenyue);
    return true;
}

bool ItineraryArea::runway_save(int row)
{
    if (m_locked || row < 0 || row >= m_model->rowCount())
        return false;
    commitEditors();
    bool saved = false;
    DbError failure;
    ErrorBoundary::run(
        [&] {
            if (stageRow(row)) {
                // The rows shown next are read in the write's round trip.
                m_state.connection().readAgainAfterWrite({m_kh});
                m_rows->update();
                saved = true;
            }
        },
        &failure);
    if (!saved) {
        if (m_rows->isOpen() && m_rows->editMode() != Recordset::EditMode::None)
            m_rows->cancelUpdate();
        // A row changed by another seat meanwhile: show what the database holds now.
        if (failure.kind == DbErrorKind::Conflict)
            runway_fill();
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
    // Deleted only while the row is as this grid read it (not moved to another customer meanwhile).
    const int stored = m_model->storedRow(currentRow());
    if (stored >= 0)
        ErrorBoundary::run([&] {
            m_rows->moveTo(stored);
            m_state.connection().readAgainAfterWrite({m_kh});
            m_rows->deleteCurrent();
        });
    runway_fill();
}

void ItineraryArea::sortByColumn(int column)
{
    m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    const QString id = m_model->cell(currentRow(), Id);
    m_model->sortRows(column, m_sortOrder);
    m_id->setText(id);
}

bool ItineraryArea::ticketMenuAllowed() const
{
    return editMode() && currentRow() >= 0 && !m_model->cell(currentRow(), Id).isEmpty();
}

void ItineraryArea::changeTicketState(const QString &state)
{
    commitEditors();
    const int row = currentRow();
    if (!ticketMenuAllowed())
        return;
    const QList<int> changed = {State, PointsRate, SalePrice, NetPrice, AgentFee};
    QStringList before;
    for (int c : changed)
        before << m_model->cell(row, c);
    m_model->setCell(row, State, state);
    for (int c : {PointsRate, SalePrice, NetPrice, AgentFee})
        m_model->setCell(row, c, QStringLiteral("0"));
    const qint64 id = m_model->cell(row, Id).toLongLong();
    const QString airline = m_model->cell(row, Airline);
    bool saved = false;
    DbError failure;
    ErrorBoundary::run(
        [&] {
            if (stageRow(row)) {
                m_state.connection().readAgainAfterWrite({m_kh});
                TicketCommands::saveStateChange(m_state.connection(), *m_rows, m_state.currentOperator(), state,
                                                airline, id);
                saved = true;
            }
        },
        &failure);
    if (!saved) {
        if (m_rows->isOpen() && m_rows->editMode() != Recordset::EditMode::None)
            m_rows->cancelUpdate();
        for (int i = 0; i < changed.size(); ++i)
            m_model->setCell(row, changed.at(i), before.at(i));
        if (failure.kind == DbErrorKind::Conflict)
            runway_fill();
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
    ModReport::output([&] { return ModReport::archiveFindSet(m_state.connection(), kTable,
                                                             TicketCommands::customerCondition(m_kh), name); },
                      preview, this);
}

bool ItineraryArea::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            // The row under the pointer becomes current without opening a cell editor.
            commitEditors();
            const QModelIndex at = m_grid->indexAt(mouse->position().toPoint());
            if (at.isValid()) {
                const auto triggers = m_grid->editTriggers();
                m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
                m_grid->setCurrentIndex(at);
                m_grid->setEditTriggers(triggers);
            }
            // An export says whose tickets it holds: the sheet's title and the file name offered.
            const QString name = m_customerName ? m_customerName() : QString();
            m_grid->setWindowTitle(QStringLiteral("会员行程 %1 %2").arg(m_kh, name).simplified());
            if (ticketMenuAllowed())
                m_stateMenu->popup(mouse->globalPosition().toPoint());
            else
                GridExport::popup(m_grid, mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}
