#include "queries/querywindow.h"

#include "reports/modreport.h"
#include "domain/shell/appstate.h"
#include "domain/shell/programdata.h"
#include "ui/modcwcl.h"
#include "store/connection.h"
#include "store/recordset.h"

#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSvgWidget>
#include <QVBoxLayout>

QueryWindow::QueryWindow(AppState &state, const QString &typeName, const QString &title, int rows, QWidget *parent)
    : QWidget(parent), m_state(state), m_dictionary(new Recordset(this))
{
    setObjectName(typeName);
    setWindowTitle(title);
    auto *picture = new QSvgWidget(programPicturePath(), this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setFixedSize(150, 100);
    m_conditions = new ConditionBlock(rows, this);
    m_buttons = new QWidget(this);
    auto *buttons = new QVBoxLayout(m_buttons);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addWidget(picture);
    buttons->addStretch();
    m_buttons->setFixedWidth(160);
    m_top = new QHBoxLayout;
    m_top->addWidget(m_conditions, 1);
    m_top->addWidget(m_buttons);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(m_top, 1);
}

QueryWindow::~QueryWindow() = default;

void QueryWindow::openOwnConnection()
{
    m_ownConnection = std::make_unique<Connection>();
    m_ownConnection->open(m_state.connectionText());
}

bool QueryWindow::showReport(const std::function<std::shared_ptr<const ReportDocument>()> &build, bool preview)
{
    return ModReport::output(build, preview, this);
}

Connection &QueryWindow::queryConnection()
{
    return m_ownConnection ? *m_ownConnection : m_state.connection();
}

void QueryWindow::openDictionary(const QString &sql, bool perRow)
{
    m_dictionary->open(sql, &queryConnection());
    m_conditions->setDictionary(m_dictionary, perRow);
}

QPushButton *QueryWindow::addButton(const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, m_buttons);
    button->setObjectName(name);
    auto *layout = static_cast<QVBoxLayout *>(m_buttons->layout());
    layout->insertWidget(layout->count() - 1, button);
    return button;
}

void QueryWindow::setMainArea(QWidget *widget)
{
    m_top->insertWidget(0, widget, 1);
}

void QueryWindow::addBelow(QWidget *widget, int stretch)
{
    static_cast<QVBoxLayout *>(layout())->addWidget(widget, stretch);
}

void QueryWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    // Centred: in the work area for a child window, on the screen otherwise.
    if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()); sub && sub->mdiArea()) {
        const QSize area = sub->mdiArea()->viewport()->size();
        sub->move(std::max(0, (area.width() - sub->width()) / 2), std::max(0, (area.height() - sub->height()) / 2));
    } else {
        form_center(this);
    }
}
