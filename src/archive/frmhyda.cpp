#include "archive/frmhyda.h"

#include "domain/archive/customercommands.h"
#include "archive/customerentrychecks.h"
#include "archive/fieldhelp.h"
#include "archive/fieldhelppopup.h"
#include "archive/itineraryarea.h"
#include "domain/archive/pinyinindex.h"
#include "domain/archive/pinyinmatcher.h"
#include "archive/pointspanel.h"
#include "reports/frmjfdzd.h"
#include "reports/modreport.h"
#include "domain/shell/appstate.h"
#include "store/fielddictionary.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "ui/boundgrid.h"
#include "ui/errorboundary.h"
#include "ui/fieldbinding.h"
#include "ui/messagebox.h"
#include "ui/modcheck.h"
#include "ui/toolbar.h"
#include "ui/twips.h"

#include <QCloseEvent>
#include <QDate>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("客户档案");
const QString kCustomerTable = QStringLiteral("hyda");
constexpr int kSexSlot = 3;
constexpr int kNeverTypedSlot = 19;
constexpr int kCustomersHeld = 4096;
constexpr int kCustomersAllHeld = 100000;

// Field slot places in twips: box left, top, width; label left, label offset below the box top.
struct SlotPlace
{
    int boxLeft, boxTop, boxWidth, labelLeft, labelOffset;
};
const SlotPlace kPlaces[FRMHYDA::kSlots] = {
    {1530, 120, 2445, 210, 60},   {5640, 120, 2445, 4290, 60},  {9240, 165, 2655, 8250, 60},
    {1530, 435, 2445, 210, 69},   {5640, 432, 2445, 4290, 72},  {9240, 468, 2655, 8250, 72},
    {1530, 750, 2445, 210, 78},   {5640, 744, 2445, 4290, 84},  {9240, 771, 2655, 8250, 84},
    {1530, 1050, 2445, 210, 102}, {5640, 1056, 2445, 4290, 96}, {9240, 1074, 2655, 8250, 96},
    {1530, 1365, 2445, 210, 111}, {5640, 1368, 2445, 4290, 108}, {9240, 1377, 2655, 8250, 108},
    {1530, 1680, 2445, 210, 90},  {5640, 1680, 735, 4260, 90},  {7050, 1680, 1035, 6390, 90},
    {9240, 1680, 975, 8250, 90},  {10860, 1680, 1035, 10230, 120}};

int px(double twips)
{
    return Twips::toPixels(twips);
}

} // namespace

FRMHYDA::FRMHYDA(AppState &state, QWidget *parent)
    : LoggedWindow(state, kCaption, parent), m_customers(new Recordset(this)), m_dictionary(new Recordset(this)),
      m_clearingLog(new Recordset(this)), m_pinyin(new PinyinIndex(m_customers, QStringLiteral("xm"), this))
{
    setObjectName(QStringLiteral("FRMHYDA"));

    const QList<QPair<QString, QString>> buttons = {
        {QStringLiteral("新增"), QStringLiteral("new")},      {QStringLiteral("修改"), QStringLiteral("edit")},
        {QStringLiteral("保存"), QStringLiteral("save")},     {QStringLiteral("取消"), QStringLiteral("cancel")},
        {QStringLiteral("删除"), QStringLiteral("delete")},   {QStringLiteral("查询"), QStringLiteral("find")},
        {QStringLiteral("预览"), QStringLiteral("printview")}, {QStringLiteral("打印"), QStringLiteral("print")},
        {QStringLiteral("帮助"), QStringLiteral("help")},     {QStringLiteral("退出"), QStringLiteral("exit")}};
    QToolBar *toolbar = makeRecordToolbar(this, buttons, [this](const QString &key) { toolbarClicked(key); });

    auto *findLabel = new QLabel(QStringLiteral("姓名或卡号"), this);
    findLabel->setObjectName(QStringLiteral("Label1"));
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("Txtfind"));
    m_find->setMaximumWidth(200);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { toolbarClicked(QStringLiteral("find")); });
    // The customers after the first could not be read: the list is short, and the operator must know it.
    // (Not the message of a failed entry: nothing the operator typed was wrong.)
    connect(m_customers, &Recordset::readFailed, this, [](const DbError &error) {
        const QString reason = error.kind == DbErrorKind::Busy ? DbMessages::busy() : error.description;
        Msg::exclamation(QStringLiteral("客户档案没有读完，列表中只有已读出的客户: ") + reason);
    });
    auto *top = new QHBoxLayout;
    top->addWidget(toolbar, 1);
    top->addWidget(findLabel);
    top->addWidget(m_find);
    m_moves = makeMoveButtons(this, QStringLiteral("Cmdmove_%1"), 0, [this](int i) { Cmdmove_Click(i); });
    for (QPushButton *b : m_moves)
        top->addWidget(b);
    // The points statement of the customer shown.
    auto *statement = new QPushButton(QStringLiteral("积分对账单"), this);
    statement->setObjectName(QStringLiteral("cmdStatement"));
    connect(statement, &QPushButton::clicked, this, [this] { (new FrmJfdzd(m_state, customerNumber(), this))->show(); });
    top->addWidget(statement);

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_tabs->addTab(buildEntryTab(), QStringLiteral("录入"));
    m_tabs->addTab(buildBrowseTab(), QStringLiteral("浏览"));
    m_clearingGrid = new BoundGrid(m_tabs);
    m_clearingGrid->setObjectName(QStringLiteral("DataGrid1"));
    m_tabs->addTab(m_clearingGrid, QStringLiteral("积分清除记录"));
    m_tabs->tabBar()->installEventFilter(this);
    m_tabs->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(top);
    layout->addWidget(m_tabs, 1);

    m_tabs->setCurrentIndex(0);
    lockAll(true);
    setHelpEnabled(false);
    resize(px(12300), px(9000));
}

FRMHYDA::~FRMHYDA()
{
    // Customers not yet read are not needed any more: the log entry written
    // on the way out must not wait for them. The emptied fields show no
    // customer's tickets any more: nothing is read for them.
    for (QLineEdit *box : std::as_const(m_boxes))
        box->disconnect(this);
    m_customers->close();
}

bool FRMHYDA::loadData()
{
    // The first screenful shows at once; the rest of the customers follow.
    // Of a very large archive the window holds only the customers it showed
    // last (and every customer's place); finds then ask the database.
    // On a server both dictionaries travel with the customers' first page.
    const QString dictionarySql = FieldDictionary::entrySql(kCustomerTable, false);
    m_state.connection().readAhead(dictionarySql);
    m_itinerary->loadAhead();
    m_customers->setFirstRows(100);
    m_customers->setPagedCache(kCustomersHeld, kCustomersAllHeld);
    m_customers->open(CustomerCommands::customersSql(), &m_state.connection(), LockType::Optimistic);
    m_dictionary->open(dictionarySql, &m_state.connection());
    m_itinerary->load();
    bindSlots();
    // A pending edit is written only through the checks of the save button.
    m_customers->setWriteCheck([this] { return checkFields(); });
    m_tabs->setCurrentIndex(0);
    // Binding the fields showed the first customer's tickets already (its number changed).
    if (m_itinerary->customer() != customerNumber() || customerNumber().isEmpty())
        m_itinerary->setCustomer(customerNumber());
    cmd_yd(m_customers->hasRow(0), m_customers->hasRow(0));
    return true;
}

QWidget *FRMHYDA::buildEntryTab()
{
    auto *page = new QWidget(m_tabs);
    m_fields = new QWidget(page);
    m_fields->setObjectName(QStringLiteral("fields"));
    m_fields->setFixedSize(px(12000), px(2100));
    // The slots were measured for a smaller type than ours; keep captions and values inside them.
    QFont small = m_fields->font();
    small.setPixelSize(11);
    m_fields->setFont(small);
    m_fields->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; }"));
    for (int i = 0; i < kSlots; ++i) {
        const SlotPlace &p = kPlaces[i];
        auto *box = new QLineEdit(m_fields);
        box->setObjectName(QStringLiteral("txtspzd_%1").arg(i));
        box->setGeometry(px(p.boxLeft), px(p.boxTop), px(p.boxWidth), px(i >= 17 ? 330 : 335));
        box->installEventFilter(this);
        auto *label = new QLabel(m_fields);
        label->setObjectName(QStringLiteral("Labspzd_%1").arg(i));
        label->setGeometry(px(p.labelLeft), px(p.boxTop + p.labelOffset) - 2, px(i == 14 ? 660 : 630) + 30, px(180) + 6);
        if (i == 16)
            box->setToolTip(QStringLiteral("0 为不计算积分，1为计算积分"));
        const bool shown = i == 0;
        box->setVisible(shown);
        label->setVisible(shown);
        m_boxes << box;
        m_labels << label;
        m_bindings << new FieldBinding(box, this);
    }
    connect(m_boxes.first(), &QLineEdit::textChanged, this, [this] { refillItinerary(); });

    // The check list hangs under its field, over whatever is below.
    m_help = new FieldHelpPopup(m_fields, page, m_state.connection(), m_customers);
    connect(m_help, &FieldHelpPopup::chosenByEnter, this, [this] { focusNextChild(); });

    m_itinerary = new ItineraryArea(m_state, page);
    m_itinerary->setCustomerNameSource([this] { return m_slotCount > 1 ? m_boxes.at(1)->text() : QString(); });

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(m_fields);
    layout->addWidget(m_itinerary, 1);
    return page;
}

QWidget *FRMHYDA::buildBrowseTab()
{
    auto *page = new QWidget(m_tabs);
    m_grid = new BoundGrid(page);
    m_grid->setObjectName(QStringLiteral("Gridhyda"));
    connect(m_grid, &BoundGrid::rowChosen, this, [this] { cmd_yd(true, true); });

    auto *points = new PointsPanel(m_state, page);
    connect(points, &PointsPanel::pointsChanged, this, [this] { refillItinerary(); });

    auto *layout = new QVBoxLayout(page);
    layout->addWidget(m_grid, 1);
    layout->addWidget(points);
    return page;
}

void FRMHYDA::bindSlots()
{
    m_slotCount = std::min(m_dictionary->recordCount(), kSlots);
    if (m_slotCount == 0)
        return; // slot 0 stays shown and unbound
    m_grid->bind(m_customers);
    for (int k = 0; k < m_slotCount; ++k) {
        m_dictionary->moveTo(k);
        const QString code = m_dictionary->text(QStringLiteral("colm_code"));
        m_labels.at(k)->setText(m_dictionary->text(QStringLiteral("colm_name")));
        m_labels.at(k)->show();
        m_boxes.at(k)->show();
        m_boxes.at(k)->setProperty("tag", code);
        m_bindings.at(k)->bind(m_customers, code);
    }
    spzdbt_set();
}

QString FRMHYDA::customerNumber() const
{
    return m_boxes.first()->text();
}

void FRMHYDA::spzdbt_set()
{
    for (int r = 0; r < m_slotCount; ++r)
        m_grid->setCaption(r + 1, m_dictionary->valueAt(r, m_dictionary->fieldIndex(QStringLiteral("colm_name"))).toString());
    m_grid->setColumnHidden(0, true);
}

void FRMHYDA::lockAll(bool locked)
{
    for (QLineEdit *box : m_boxes)
        box->setReadOnly(locked);
}

void FRMHYDA::setHelpEnabled(bool enabled)
{
    m_help->setEnabled(enabled);
}

void FRMHYDA::cmd_yd(bool move_qian, bool move_hou)
{
    m_moves[0]->setEnabled(move_qian);
    m_moves[1]->setEnabled(move_qian);
    m_moves[2]->setEnabled(move_hou);
    m_moves[3]->setEnabled(move_hou);
}

void FRMHYDA::refillItinerary()
{
    // While a customer is being added the area stays locked and empty.
    if (m_mode != Mode::Adding)
        m_itinerary->setCustomer(customerNumber());
}

void FRMHYDA::Cmdmove_Click(int index)
{
    // A record being added or edited is saved or cancelled first; moving must not write it unchecked.
    if (m_mode != Mode::Browsing || !m_customers->hasRow(0))
        return;
    try {
        const int current = m_customers->currentIndex();
        switch (index) {
        case 0:
            showCustomerAt(0);
            cmd_yd(false, true);
            break;
        case 1:
            showCustomerAt(std::max(current - 1, 0));
            cmd_yd(current > 0, true);
            break;
        case 2:
            if (m_customers->hasRow(current + 1)) {
                showCustomerAt(current + 1);
                cmd_yd(true, true);
            } else {
                showCustomerAt(m_customers->recordCount() - 1);
                cmd_yd(true, false);
            }
            break;
        case 3:
            showCustomerAt(m_customers->recordCount() - 1);
            cmd_yd(true, false);
            break;
        }
    } catch (const DbException &e) {
        ErrorBoundary::report(e.error());
    }
}

void FRMHYDA::showCustomerAt(int row)
{
    // The customer's tickets and totals are read before the window moves: if
    // they cannot be read, it stays on the customer it shows, whole.
    const QString numberField = m_boxes.first()->property("tag").toString();
    if (row != m_customers->currentIndex() && !numberField.isEmpty())
        m_itinerary->prepareCustomer(m_customers->valueAt(row, m_customers->fieldIndex(numberField)).toString());
    m_customers->moveTo(row);
    m_itinerary->forgetPrepared();
}

void FRMHYDA::toolbarClicked(const QString &key)
{
    DbError failure;
    ErrorBoundary::run([&] {
        if (key == QLatin1String("new"))
            newRecord();
        else if (key == QLatin1String("edit"))
            editRecord();
        else if (key == QLatin1String("save"))
            saveRecord();
        else if (key == QLatin1String("cancel"))
            cancelRecord();
        else if (key == QLatin1String("delete"))
            deleteRecord();
        else if (key == QLatin1String("find"))
            findRecord();
        else if (key == QLatin1String("printview"))
            printList(true);
        else if (key == QLatin1String("print"))
            printList(false);
        else if (key == QLatin1String("exit"))
            close();
    }, &failure);
    // A customer changed or deleted by another seat meanwhile has been read
    // again and the edit dropped: the window is browsing it once more.
    if (failure.kind == DbErrorKind::Conflict && m_mode != Mode::Browsing) {
        leaveEditing();
        refillItinerary();
    }
}

void FRMHYDA::enterEditing(Mode mode)
{
    m_mode = mode;
    m_grid->unbind();
    lockAll(false);
    setHelpEnabled(true);
    m_boxes.at(kNeverTypedSlot)->setReadOnly(true);
    if (mode == Mode::Editing)
        m_boxes.at(0)->setReadOnly(true);
    m_find->setEnabled(false);
    for (QPushButton *b : m_moves)
        b->setEnabled(false);
}

void FRMHYDA::leaveEditing()
{
    m_mode = Mode::Browsing;
    lockAll(true);
    setHelpEnabled(false);
    m_grid->bind(m_customers);
    spzdbt_set();
    m_find->setEnabled(true);
    const int at = m_customers->currentIndex();
    cmd_yd(at > 0, at >= 0 && m_customers->hasRow(at + 1));
}

void FRMHYDA::newRecord()
{
    if (m_mode != Mode::Browsing || m_slotCount == 0)
        return;
    m_customers->addNew();
    enterEditing(Mode::Adding);
    m_itinerary->setLocked(true);
    m_customers->setValue(QStringLiteral("djr"), m_state.currentOperator());
    m_customers->setValue(QStringLiteral("djrc"), QDate::currentDate());
    m_boxes.first()->setFocus();
}

void FRMHYDA::editRecord()
{
    if (m_mode != Mode::Browsing || m_customers->bof() || m_customers->eof())
        return;
    enterEditing(Mode::Editing);
    if (m_slotCount > 1)
        m_boxes.at(1)->setFocus();
}

bool FRMHYDA::checkFields()
{
    for (int i = 0; i < m_slotCount; ++i) {
        if (!FieldDictionary::findByCode(*m_dictionary, m_bindings.at(i)->field()))
            return false;
        if (!Modcheck::data_check(m_dictionary->text(QStringLiteral("colm_type")),
                                  m_dictionary->value(QStringLiteral("colm_cd")).toInt(), m_boxes.at(i)->text(),
                                  m_dictionary->text(QStringLiteral("colm_name")),
                                  m_dictionary->text(QStringLiteral("nullbj")))) {
            m_boxes.at(i)->setFocus();
            return false;
        }
    }
    return true;
}

bool FRMHYDA::saveRecord()
{
    if (m_mode == Mode::Browsing)
        return true;
    // The operator's second thoughts come after the field checks, so nothing is asked twice.
    QString focus;
    const bool adding = m_mode == Mode::Adding;
    if (!checkFields() || !CustomerEntryChecks::confirmSave(m_state.connection(), *m_customers, adding, &focus)) {
        for (int i = 0; i < m_slotCount; ++i)
            if (!focus.isEmpty() && m_bindings.at(i)->field().compare(focus, Qt::CaseInsensitive) == 0)
                m_boxes.at(i)->setFocus();
        return false;
    }
    // A refused save (a card number already taken, say) keeps the record in editing as typed.
    m_customers->update();
    leaveEditing();
    m_itinerary->setLocked(false);
    refillItinerary();
    return true;
}

void FRMHYDA::cancelRecord()
{
    if (m_mode == Mode::Browsing)
        return;
    m_customers->cancelUpdate();
    leaveEditing();
    m_itinerary->setLocked(false);
    refillItinerary();
}

void FRMHYDA::deleteRecord()
{
    if (m_mode != Mode::Browsing || m_customers->bof() || m_customers->eof())
        return;
    if (Msg::show(QStringLiteral("确认删除当前记录"), Msg::Icon::Exclamation, Msg::Buttons::OkCancel) != Msg::Answer::Ok)
        return;
    const int deletedAt = m_customers->currentIndex();
    CustomerCommands::deleteCustomer(m_state.connection(), *m_customers);
    // The browse grid moves the recordset while the row leaves it, so the next
    // customer is found by place (the deleted one's), not by moving from wherever that left it.
    if (m_customers->recordCount() > 0)
        m_customers->moveTo(std::min(deletedAt, m_customers->recordCount() - 1));
    const int at = m_customers->currentIndex();
    cmd_yd(at > 0, at >= 0 && at < m_customers->recordCount() - 1);
    refillItinerary();
}

void FRMHYDA::findRecord()
{
    if (m_mode != Mode::Browsing)
        return;
    // Names first, then card numbers, each from the first customer. The
    // search does not walk the window through the customers on the way.
    const QString text = m_find->text();
    int found = -1;
    if (m_customers->hasRow(0)) {
        found = m_customers->indexOf(QStringLiteral("xm=") + sqlQuote(text));
        if (found < 0)
            found = m_customers->indexOf(QStringLiteral("kh=") + sqlQuote(text));
        // Latin letters also find a name by its pinyin; finding again goes on to the next such name.
        if (found < 0)
            found = m_pinyin->find(PinyinMatcher(text), m_customers->currentIndex() + 1);
    }
    if (found < 0) {
        Msg::exclamation(QStringLiteral("未查到数据!"));
        return; // the customer shown stays
    }
    showCustomerAt(found);
    cmd_yd(found > 0, m_customers->hasRow(found + 1));
}

void FRMHYDA::printList(bool preview)
{
    ModReport::output([this] { return ModReport::archiveFindSet(m_state.connection(), kCustomerTable, QString(), QString()); },
                      preview, this);
}

void FRMHYDA::placeHelp(int slot)
{
    // Help is offered only while a record is being added or edited: browsing never changes a field.
    if (m_mode == Mode::Browsing || slot >= m_slotCount)
        return;
    QLineEdit *box = m_boxes.at(slot);
    const QString code = box->property("tag").toString();
    if (!FieldDictionary::findByCode(*m_dictionary, code))
        return;
    FieldHelpPopup::Source source;
    source.field = code;
    source.kind = m_dictionary->text(QStringLiteral("CON_TYPE")).toUpper();
    source.table = m_dictionary->text(QStringLiteral("check_table"));
    source.column = m_dictionary->text(QStringLiteral("check_colm"));
    source.value = m_dictionary->text(QStringLiteral("check_value"));
    source.shown = m_dictionary->text(QStringLiteral("check_colmvalue"));
    try {
        m_help->place(box, source);
    } catch (const DbException &e) {
        ErrorBoundary::report(e.error());
    }
}

void FRMHYDA::combHelpChosen()
{
    m_help->comboChosen();
}

void FRMHYDA::CmdHELP_Click()
{
    m_help->listButtonClicked();
}

void FRMHYDA::showClearingLog()
{
    ErrorBoundary::run([this] {
        m_clearingLog->open(CustomerCommands::clearingLogSql(), &m_state.connection());
        m_clearingGrid->bind(m_clearingLog);
    });
}

bool FRMHYDA::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_tabs || watched == m_tabs->tabBar()) && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        showClearingLog();
        return false;
    }
    const int slot = static_cast<int>(m_boxes.indexOf(qobject_cast<QLineEdit *>(watched)));
    if (slot < 0)
        return LoggedWindow::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn:
        placeHelp(slot);
        break;
    case QEvent::FocusOut:
        if (slot == kSexSlot && !m_boxes.at(slot)->isReadOnly()) {
            const QString replaced = FieldHelp::sexShorthand(m_boxes.at(slot)->text());
            if (replaced != m_boxes.at(slot)->text()) {
                m_boxes.at(slot)->setText(replaced);
                ErrorBoundary::run([&] { m_bindings.at(slot)->writeBack(); });
            }
        }
        break;
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // On to the next shown box, round to the first after the last.
            const int shown = std::max(1, m_slotCount);
            m_boxes.at((slot + 1) % shown)->setFocus();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return LoggedWindow::eventFilter(watched, event);
}

void FRMHYDA::closeEvent(QCloseEvent *event)
{
    // A record being added or edited is not dropped without a word.
    if (m_mode != Mode::Browsing) {
        const Msg::Answer answer =
            Msg::show(QStringLiteral("当前记录尚未保存，是否保存？"), Msg::Icon::Question, Msg::Buttons::YesNoCancel);
        if (answer == Msg::Answer::Cancel) {
            event->ignore();
            return;
        }
        if (answer == Msg::Answer::Yes) {
            DbError failure;
            if (!ErrorBoundary::run([this] { saveRecord(); }, &failure) || m_mode != Mode::Browsing) {
                event->ignore();
                return;
            }
        } else {
            cancelRecord();
        }
    }
    LoggedWindow::closeEvent(event);
}

void FRMHYDA::showEvent(QShowEvent *event)
{
    LoggedWindow::showEvent(event);
    auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget());
    if (m_activationWatched || !sub || !sub->mdiArea())
        return;
    m_activationWatched = true;
    // Coming back to this window from another one puts the tickets back in browse mode.
    connect(sub->mdiArea(), &QMdiArea::subWindowActivated, this, [this, sub](QMdiSubWindow *active) {
        if (active == sub && m_lastActive && m_lastActive != sub)
            m_itinerary->setBrowseMode();
        if (active)
            m_lastActive = active;
    });
}
