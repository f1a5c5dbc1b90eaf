#pragma once

#include "queries/conditionblock.h"
#include "ui/loadable.h"

#include <QWidget>
#include <memory>

class AppState;
class Connection;
class QPushButton;
class Recordset;

// What every query window has: the condition block, its dictionary, the
// picture, the close button "关闭(&Q)", and a place in the middle of the screen.
// Its data (own connection, dictionary) are read by load().
class QueryWindow : public QWidget, public Loadable
{
    Q_OBJECT
public:
    QueryWindow(AppState &state, const QString &typeName, const QString &title, int rows, QWidget *parent = nullptr);
    ~QueryWindow() override;

    ConditionBlock *conditions() const { return m_conditions; }
    Recordset *dictionary() const { return m_dictionary; }

protected:
    // Opens the window's own connection (some query windows keep one of their own).
    void openOwnConnection();
    Connection &queryConnection();
    void openDictionary(const QString &sql, bool perRow = false);
    // Previews or prints what a builder makes; failures are shown.
    bool showReport(const std::function<std::shared_ptr<const class ReportDocument>()> &build, bool preview);
    QPushButton *addButton(const QString &name, const QString &caption);
    void addBelow(QWidget *widget, int stretch = 0);
    // Puts a widget (holding the conditions) where the conditions stand, beside the buttons.
    void setMainArea(QWidget *widget);
    void showEvent(QShowEvent *event) override;

    AppState &m_state;
    std::unique_ptr<Connection> m_ownConnection;
    Recordset *m_dictionary;
    ConditionBlock *m_conditions = nullptr;

private:
    QWidget *m_buttons;
    class QHBoxLayout *m_top;
    bool m_centred = false;
};
