#include "archive/frmjfzr.h"

#include "archive/pointsmessages.h"
#include "domain/shell/appstate.h"
#include "ui/errorboundary.h"
#include "ui/modcwcl.h"
#include "store/recordset.h"
#include "ui/boundgrid.h"
#include "ui/messagebox.h"

#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

FrmJfzr::FrmJfzr(AppState &state, QWidget *parent) : QDialog(parent), m_state(state), m_list(new Recordset(this))
{
    setObjectName(QStringLiteral("FrmJfzr"));
    setWindowTitle(QStringLiteral("积分转让"));
    m_from = new QLineEdit(this);
    m_from->setObjectName(QStringLiteral("Text1"));
    m_from->installEventFilter(this);
    m_to = new QLineEdit(this);
    m_to->setObjectName(QStringLiteral("Text2"));
    m_grid = new BoundGrid(this);
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    auto *move = new QPushButton(QStringLiteral("积分转让(&G)"), this);
    move->setObjectName(QStringLiteral("cmdOK"));
    move->setAutoDefault(false);
    auto *quit = new QPushButton(QStringLiteral("&X.退出"), this);
    quit->setObjectName(QStringLiteral("CmdNo"));
    quit->setAutoDefault(false);
    connect(move, &QPushButton::clicked, this, &FrmJfzr::cmdOK_Click);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);

    auto *numbers = new QGridLayout;
    numbers->addWidget(new QLabel(QStringLiteral("从客户编号："), this), 0, 0);
    numbers->addWidget(m_from, 0, 1);
    numbers->addWidget(new QLabel(QStringLiteral("转到："), this), 0, 2);
    numbers->addWidget(m_to, 0, 3);
    numbers->addWidget(move, 0, 4);
    numbers->addWidget(quit, 0, 5);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(numbers);
    layout->addWidget(m_grid, 1);
    resize(900, 420);
    form_center(this);
}

FrmJfzr::~FrmJfzr() = default;

void FrmJfzr::listRows()
{
    if (m_from->text().isEmpty()) {
        m_grid->unbind();
        m_list->close();
        return;
    }
    ErrorBoundary::run([this] {
        m_list->open(PointsCommands::transferableRowsSql(), &m_state.connection(), LockType::ReadOnly, {m_from->text()});
        m_grid->bind(m_list);
        const QStringList captions = {QStringLiteral("卡号"),   QStringLiteral("出发"),     QStringLiteral("到达"),
                                      QStringLiteral("公布价"), QStringLiteral("销售价"),   QStringLiteral("净价"),
                                      QStringLiteral("航空公司"), QStringLiteral("内外"),   QStringLiteral("积分"),
                                      QStringLiteral("剩余积分"), QStringLiteral("序号")};
        for (int i = 0; i < captions.size(); ++i)
            m_grid->setCaption(i, captions.at(i));
    });
}

void FrmJfzr::cmdOK_Click()
{
    const QString from = m_from->text();
    const QString to = m_to->text();
    if (!m_list->isOpen() || from.isEmpty() || to.isEmpty() || m_list->bof() || m_list->eof())
        return;
    const qint64 id = m_list->value(QStringLiteral("id")).toLongLong();
    const double shown = m_list->value(QStringLiteral("jifenyue")).toDouble();
    PointsCommands::transferRowWithMessages(m_state.connection(), from, to, id, shown);
    // Moved, or changed or moved elsewhere by another seat meanwhile: the list shows what is now there.
    ErrorBoundary::run([this] { m_list->requery(); });
}

bool FrmJfzr::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_from) {
        if (event->type() == QEvent::FocusOut)
            listRows();
        else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                listRows();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
