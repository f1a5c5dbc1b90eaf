#pragma once

#include <QWidget>

class AppState;
class QLineEdit;

// Under the browse grid of the customer window: clearing points of a
// customer (number, points, remark) and moving every ticket of one customer
// to another. Each says how it went; pointsChanged() follows a change.
class PointsPanel : public QWidget
{
    Q_OBJECT
public:
    PointsPanel(AppState &state, QWidget *parent = nullptr);

    void Command2_Click();
    void cmdOK_Click();

signals:
    void pointsChanged();

private:
    AppState &m_state;
    QLineEdit *m_clearKh, *m_clearPoints, *m_clearRemark;
    QLineEdit *m_fromKh, *m_toKh;
};
