#pragma once

#include "ui/loggedwindow.h"
#include "store/dberror.h"

#include <QPointer>

class BoundGrid;
class FieldBinding;
class FieldHelpPopup;
class ItineraryArea;
class PinyinIndex;
class QComboBox;
class QLabel;
class QMdiSubWindow;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class Recordset;

// The customer archive: one customer at a time in 20 dictionary-driven field
// slots, the customer's tickets underneath, a browse grid of all customers
// with the points clearing and transfer (PointsPanel) under it.
class FRMHYDA : public LoggedWindow
{
    Q_OBJECT
public:
    static constexpr int kSlots = 20;
    enum class Mode { Browsing, Adding, Editing };

    explicit FRMHYDA(AppState &state, QWidget *parent = nullptr);
    ~FRMHYDA() override;

    Mode mode() const { return m_mode; }
    Recordset *customers() const { return m_customers; }
    Recordset *dictionary() const { return m_dictionary; }
    ItineraryArea *itinerary() const { return m_itinerary; }
    int slotCount() const { return m_slotCount; }
    QLineEdit *slotBox(int i) const { return m_boxes.at(i); }
    QString customerNumber() const;

    void toolbarClicked(const QString &key);
    void Cmdmove_Click(int index);
    void cmd_yd(bool move_qian, bool move_hou);
    void showCustomerAt(int row);
    void spzdbt_set();

    // Help of the field box that has the focus.
    void placeHelp(int slot);
    void combHelpChosen();
    void CmdHELP_Click();

    // The clearing log on the third tab.
    void showClearingLog();

protected:
    bool loadData() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *buildEntryTab();
    QWidget *buildBrowseTab();
    void bindSlots();
    void lockAll(bool locked);
    void setHelpEnabled(bool enabled);
    void enterEditing(Mode mode);
    void leaveEditing();
    void newRecord();
    void editRecord();
    // The field checks every write of the customer passes, from the save button or a move.
    bool checkFields();
    bool saveRecord();
    void cancelRecord();
    void deleteRecord();
    void findRecord();
    void printList(bool preview);
    void refillItinerary();

    Recordset *m_customers;
    Recordset *m_dictionary;
    Recordset *m_clearingLog;
    PinyinIndex *m_pinyin;
    Mode m_mode = Mode::Browsing;
    bool m_activationWatched = false;
    QPointer<QMdiSubWindow> m_lastActive;
    int m_slotCount = 0;

    QTabWidget *m_tabs = nullptr;
    QWidget *m_fields = nullptr;
    QList<QLabel *> m_labels;
    QList<QLineEdit *> m_boxes;
    QList<FieldBinding *> m_bindings;
    QLineEdit *m_find = nullptr;
    QList<QPushButton *> m_moves;
    FieldHelpPopup *m_help = nullptr;
    ItineraryArea *m_itinerary = nullptr;
    BoundGrid *m_grid = nullptr;
    BoundGrid *m_clearingGrid = nullptr;
};
