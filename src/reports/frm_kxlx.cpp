#include "reports/frm_kxlx.h"

#include "domain/reports/codedictionary.h"
#include "reports/modreport.h"
#include "domain/shell/appstate.h"
#include "store/fielddictionary.h"
#include "ui/modcheck.h"
#include "store/recordset.h"
#include "store/sqlquote.h"
#include "store/valuecheck.h"
#include "ui/boundgrid.h"
#include "ui/errorboundary.h"
#include "ui/fieldbinding.h"
#include "ui/messagebox.h"
#include "ui/toolbar.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const QString kCaption = QStringLiteral("编码设置");

// Design places of the first label and box, in twips.
constexpr int kLabelLeft = 240, kLabelTop = 330, kLabelWidth = 1100, kLabelHeight = 280;
constexpr int kBoxLeft = 1400, kBoxTop = 270, kBoxWidth = 3200, kBoxHeight = 360;

int px(int twips)
{
    return Twips::toPixels(twips);
}

} // namespace

FRM_KXLX::FRM_KXLX(AppState &state, QWidget *parent)
    : LoggedWindow(state, kCaption, parent), m_rows(new Recordset(this)), m_fieldRows(new Recordset(this)),
      m_printSource(new Recordset(this))
{
    setObjectName(QStringLiteral("FRM_KXLX"));

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTab1"));
    m_entry = new QWidget(m_tabs);
    m_entry->setMinimumSize(px(kBoxLeft + kBoxWidth + 400), px(kBoxTop + 6 * (kBoxHeight + 20) + 100));
    m_grid = new BoundGrid(m_tabs);
    m_grid->setObjectName(QStringLiteral("Gridspzd"));
    auto *entryPage = new QWidget(m_tabs);
    auto *entryLayout = new QHBoxLayout(entryPage);
    entryLayout->addWidget(m_entry);
    entryLayout->addWidget(m_grid, 1);
    m_tabs->addTab(entryPage, QStringLiteral("录入"));
    m_browse = new BoundGrid(m_tabs);
    m_browse->setObjectName(QStringLiteral("DataGrid1"));
    m_tabs->addTab(m_browse, QStringLiteral("浏览"));

    m_class = new QComboBox(m_entry);
    m_class->setObjectName(QStringLiteral("Class"));
    m_class->setEditable(true);
    m_class->setInsertPolicy(QComboBox::NoInsert);
    m_class->hide();

    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("Txtfind"));
    auto *findLabel = new QLabel(QStringLiteral("请输入查询商品编号:"), this);
    findLabel->setObjectName(QStringLiteral("Label1"));
    auto *moves = new QHBoxLayout;
    moves->addWidget(findLabel);
    moves->addWidget(m_find);
    moves->addStretch();
    m_moves = makeMoveButtons(this, QStringLiteral("Cmdmove_%1"), 0, [this](int i) { Cmdmove_Click(i); });
    for (QPushButton *b : m_moves)
        moves->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(makeRecordToolbar(this, standardRecordButtons(), [this](const QString &key) { toolbarClicked(key); }));
    layout->addLayout(moves);
    layout->addWidget(m_tabs, 1);

    m_tabs->setCurrentIndex(0);
    resize(860, 440);
}

FRM_KXLX::~FRM_KXLX() = default;

bool FRM_KXLX::loadData()
{
    m_rows->open(CodeDictionary::rowsSql(), &m_state.connection(), LockType::Optimistic);
    Recordset classes;
    classes.open(CodeDictionary::classesSql(), &m_state.connection());
    for (int i = 0; i < classes.recordCount(); ++i)
        m_class->addItem(classes.valueAt(i, 0).toString());
    if (m_class->count() > 0)
        m_class->setCurrentIndex(0);
    m_fieldRows->open(FieldDictionary::entrySql(QStringLiteral("dict"), false), &m_state.connection());
    layoutFields();

    m_printSource->open(CodeDictionary::printSql(), &m_state.connection());
    m_browse->bind(m_printSource);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int tab) {
        if (tab == 1)
            ErrorBoundary::run([this] { m_printSource->requery(); });
    });
    connect(m_rows, &Recordset::currentRowChanged, this, [this] {
        updateMoveButtons();
        followRow();
    });
    // A pending edit is written only through the checks of the save button,
    // whatever writes it (a move, a find, a new row).
    m_rows->setWriteCheck([this] { return checkFields(); });
    updateMoveButtons();
    followRow();
    return true;
}

void FRM_KXLX::layoutFields()
{
    const int count = m_fieldRows->recordCount();
    for (int i = 0; i < count; ++i) {
        m_fieldRows->moveTo(i);
        auto *label = new QLabel(m_fieldRows->text(QStringLiteral("colm_name")), m_entry);
        label->setObjectName(QStringLiteral("Labspzd_%1").arg(i));
        const int labelTop = kLabelTop + i * (kLabelHeight + 100);
        label->setGeometry(px(kLabelLeft), px(labelTop), px(kLabelWidth), px(kLabelHeight + (i == 4 ? 200 : 0)));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        auto *box = new QLineEdit(m_entry);
        box->setObjectName(QStringLiteral("txtspzd_%1").arg(i));
        box->setGeometry(px(kBoxLeft), px(kBoxTop + i * (kBoxHeight + 20)), px(kBoxWidth), px(kBoxHeight));
        box->installEventFilter(this);
        auto *binding = new FieldBinding(box, this);
        binding->bind(m_rows, m_fieldRows->text(QStringLiteral("colm_code")));
        m_labels << label;
        m_boxes << box;
        m_bindings << binding;
    }
    if (!m_boxes.isEmpty())
        m_class->setGeometry(m_boxes.first()->geometry());
    m_grid->bind(m_rows);
    reheadGrid();
}

void FRM_KXLX::reheadGrid()
{
    for (int i = 0; i < m_fieldRows->recordCount() && i < m_rows->fieldCount(); ++i)
        m_grid->setCaption(i, m_fieldRows->valueAt(i, m_fieldRows->fieldIndex(QStringLiteral("colm_name"))).toString());
}

void FRM_KXLX::showClassList()
{
    if (m_boxes.isEmpty())
        return;
    m_boxes.first()->hide();
    m_class->show();
}

void FRM_KXLX::reportError(const DbException &error)
{
    // A duplicate key is the operator's to correct; anything else says what it is.
    switch (error.kind()) {
    case DbErrorKind::Duplicate:
        Msg::stop(QStringLiteral("数据重复，请重新输入!"));
        break;
    case DbErrorKind::Failure:
        Msg::stop(error.description().isEmpty() ? QStringLiteral("未知错误，退出") : error.description());
        break;
    default:
        ErrorBoundary::report(error.error());
        break;
    }
}

void FRM_KXLX::followRow()
{
    // The class list shows the class of the row shown, so a save keeps it.
    if (m_rows->bof() || m_rows->eof() || !m_rows->hasField(QStringLiteral("class")))
        return;
    const QString rowClass = m_rows->text(QStringLiteral("class"));
    if (!rowClass.isEmpty() && m_class->currentText() != rowClass)
        m_class->setCurrentText(rowClass);
}

bool FRM_KXLX::checkFields()
{
    for (int i = 0; i < m_boxes.size(); ++i) {
        if (!FieldDictionary::findByCode(*m_fieldRows, m_bindings.at(i)->field()))
            return false;
        // The class list stands in for box 0: it is checked as what will be saved.
        const QString value = m_bindings.at(i)->field().compare(QLatin1String("class"), Qt::CaseInsensitive) == 0
                                  ? m_class->currentText()
                                  : m_boxes.at(i)->text();
        if (!Modcheck::data_check(m_fieldRows->text(QStringLiteral("colm_type")),
                                  m_fieldRows->value(QStringLiteral("colm_cd")).toInt(), value,
                                  m_fieldRows->text(QStringLiteral("colm_name")),
                                  m_fieldRows->text(QStringLiteral("nullbj"))))
            return false;
    }
    return true;
}

void FRM_KXLX::saveRow()
{
    // A row keeps its class unless the operator chose another in the list.
    if (m_rows->editMode() == Recordset::EditMode::Adding
        || m_rows->text(QStringLiteral("class")) != m_class->currentText())
        m_rows->setValue(QStringLiteral("class"), m_class->currentText());
    showClassList();
    m_rows->update();
    m_grid->bind(m_rows);
    reheadGrid();
}

void FRM_KXLX::toolbarClicked(const QString &key)
{
    try {
        if (key == QLatin1String("new")) {
            m_grid->unbind();
            m_rows->addNew();
            m_rows->setValue(QStringLiteral("class"), m_class->currentText());
            showClassList();
            if (m_boxes.size() > 1)
                m_boxes.at(1)->setFocus();
        } else if (key == QLatin1String("save")) {
            if (m_rows->bof() || m_rows->eof())
                return;
            saveRow();
        } else if (key == QLatin1String("cancel")) {
            m_rows->cancelUpdate();
            m_grid->bind(m_rows);
            reheadGrid();
            followRow();
        } else if (key == QLatin1String("delete")) {
            if (m_rows->bof() || m_rows->eof())
                return;
            if (Msg::show(QStringLiteral("确认删除当前记录"), Msg::Icon::Exclamation, Msg::Buttons::OkCancel)
                != Msg::Answer::Ok)
                return;
            m_rows->deleteCurrent();
            m_rows->moveNext();
            if (m_rows->eof() && m_rows->recordCount() > 0)
                m_rows->moveLast();
        } else if (key == QLatin1String("find")) {
            // The code is a number; any other text finds nothing.
            const QString text = m_find->text().trimmed();
            const auto code = Modcheck::parseNumber(text);
            const bool found = code && m_rows->recordCount() > 0 && m_rows->find(QStringLiteral("lx=") + sqlNumber(*code));
            if (!found) {
                Msg::exclamation(QStringLiteral("未查到数据!"));
                if (m_rows->recordCount() > 0)
                    m_rows->moveLast();
            }
        } else if (key == QLatin1String("printview") || key == QLatin1String("print")) {
            ModReport::output([this] { return ModReport::codeListFindSet(m_state.connection(), QStringLiteral("dict")); },
                              key == QLatin1String("printview"), this);
        } else if (key == QLatin1String("exit")) {
            close();
        }
    } catch (const DbException &e) {
        reportError(e);
    }
}

void FRM_KXLX::Cmdmove_Click(int index)
{
    if (m_rows->recordCount() < 2)
        return;
    try {
        switch (index) {
        case 0:
            m_rows->moveFirst();
            break;
        case 1:
            if (m_rows->currentIndex() > 0)
                m_rows->movePrevious();
            break;
        case 2:
            if (m_rows->currentIndex() < m_rows->recordCount() - 1)
                m_rows->moveNext();
            break;
        case 3:
            m_rows->moveLast();
            break;
        }
    } catch (const DbException &e) {
        reportError(e);
    }
    updateMoveButtons();
}

void FRM_KXLX::updateMoveButtons()
{
    if (m_rows->recordCount() < 2) {
        for (QPushButton *b : m_moves)
            b->setEnabled(true);
        return;
    }
    const int position = m_rows->currentIndex() + 1;
    const bool atFirst = position <= 1;
    const bool atLast = position >= m_rows->recordCount();
    m_moves[0]->setEnabled(!atFirst);
    m_moves[1]->setEnabled(!atFirst);
    m_moves[2]->setEnabled(!atLast);
    m_moves[3]->setEnabled(!atLast);
}

bool FRM_KXLX::eventFilter(QObject *watched, QEvent *event)
{
    const int i = static_cast<int>(m_boxes.indexOf(static_cast<QLineEdit *>(watched)));
    if (i >= 0) {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                QLineEdit *next = m_boxes.at((i + 1) % m_boxes.size());
                if (!next->isVisible() && m_class->isVisible() && next == m_boxes.first())
                    m_class->setFocus();
                else
                    next->setFocus();
                return true;
            }
        } else if (event->type() == QEvent::FocusOut && i == 2) {
            QLineEdit *box = m_boxes.at(2);
            const QString upper = box->text().toUpper();
            if (upper != box->text()) {
                box->setText(upper);
                try {
                    m_bindings.at(2)->writeBack();
                } catch (const DbException &e) {
                    reportError(e);
                }
            }
        }
    }
    return LoggedWindow::eventFilter(watched, event);
}
