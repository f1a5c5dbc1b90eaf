#include "archive/pointspanel.h"

#include "archive/pointsmessages.h"
#include "domain/shell/appstate.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PointsPanel::PointsPanel(AppState &state, QWidget *parent) : QWidget(parent), m_state(state)
{
    auto *clearing = new QGroupBox(QStringLiteral("清除所选客户积分："), this);
    clearing->setObjectName(QStringLiteral("Frame2"));
    m_clearKh = new QLineEdit(clearing);
    m_clearKh->setObjectName(QStringLiteral("Text3"));
    m_clearPoints = new QLineEdit(clearing);
    m_clearPoints->setObjectName(QStringLiteral("Text4"));
    m_clearRemark = new QLineEdit(clearing);
    m_clearRemark->setObjectName(QStringLiteral("Txtbz"));
    auto *clear = new QPushButton(QStringLiteral("积分清除(&C)"), clearing);
    clear->setObjectName(QStringLiteral("Command2"));
    connect(clear, &QPushButton::clicked, this, &PointsPanel::Command2_Click);
    auto *clearForm = new QHBoxLayout(clearing);
    clearForm->addWidget(new QLabel(QStringLiteral("客户编号"), clearing));
    clearForm->addWidget(m_clearKh);
    clearForm->addWidget(new QLabel(QStringLiteral("积分数："), clearing));
    clearForm->addWidget(m_clearPoints);
    clearForm->addWidget(new QLabel(QStringLiteral("备注"), clearing));
    clearForm->addWidget(m_clearRemark, 1);
    clearForm->addWidget(clear);

    auto *transfer = new QHBoxLayout;
    auto *fromLabel = new QLabel(QStringLiteral("从客户编号："), this);
    fromLabel->setObjectName(QStringLiteral("Label4"));
    m_fromKh = new QLineEdit(this);
    m_fromKh->setObjectName(QStringLiteral("Text1"));
    auto *toLabel = new QLabel(QStringLiteral("转到："), this);
    toLabel->setObjectName(QStringLiteral("Label5"));
    m_toKh = new QLineEdit(this);
    m_toKh->setObjectName(QStringLiteral("Text2"));
    auto *move = new QPushButton(QStringLiteral("积分转让(&G)"), this);
    move->setObjectName(QStringLiteral("cmdOK"));
    connect(move, &QPushButton::clicked, this, &PointsPanel::cmdOK_Click);
    transfer->addWidget(fromLabel);
    transfer->addWidget(m_fromKh);
    transfer->addWidget(toLabel);
    transfer->addWidget(m_toKh);
    transfer->addWidget(move);
    transfer->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(clearing);
    layout->addLayout(transfer);
}

void PointsPanel::Command2_Click()
{
    PointsCommands::clearPointsWithMessages(m_state.connection(), m_clearKh->text(), m_clearPoints->text(),
                                            m_clearRemark->text(), m_state.currentOperator());
    emit pointsChanged();
}

void PointsPanel::cmdOK_Click()
{
    PointsCommands::transferAllWithMessages(m_state.connection(), m_fromKh->text(), m_toKh->text());
    emit pointsChanged();
}
