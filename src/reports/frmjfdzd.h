#pragma once

#include <QWidget>

class AppState;
class QDateEdit;
class QLineEdit;

// "会员积分对账单": the points statement of one customer for a period (this
// year unless changed), previewed or printed like every report.
class FrmJfdzd : public QWidget
{
    Q_OBJECT
public:
    FrmJfdzd(AppState &state, const QString &kh, QWidget *parent = nullptr);

    void cmdyes_Click();   // preview
    void Command1_Click(); // print

private:
    void output(bool preview);
    AppState &m_state;
    QLineEdit *m_kh;
    QDateEdit *m_from;
    QDateEdit *m_to;
};
