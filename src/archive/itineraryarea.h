#pragma once

#include <QGroupBox>
#include <functional>

class AppState;
class BoundGrid;
class ItineraryDelegate;
class ItineraryModel;
class QCheckBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTableView;
class Recordset;

// The shown customer's tickets: the editable grid with its cell editors, the
// summary line, and the row commands with the points rule.
class ItineraryArea : public QGroupBox
{
    Q_OBJECT
public:
    explicit ItineraryArea(AppState &state, QWidget *parent = nullptr);
    ~ItineraryArea() override;

    // Reads the itinerary dictionary (the grid's columns); throws DbException.
    void load();
    // The dictionary read of load() goes with the statement before it, in its round trip.
    void loadAhead();

    void setCustomerNameSource(std::function<QString()> source) { m_customerName = std::move(source); }
    // Shows the tickets of a customer number (runway_fill).
    void setCustomer(const QString &kh);
    // Reads customer kh's tickets and totals without showing them (throws when
    // they cannot be read); the next setCustomer(kh) shows them as read. A
    // window moving to another customer calls this first, so a failed read
    // leaves it on the customer it shows, whole.
    void prepareCustomer(const QString &kh);
    void forgetPrepared();
    QString customer() const { return m_kh; }
    // While a customer is being added there is no customer to hold tickets:
    // the area shows none and takes none.
    void setLocked(bool locked);

    void runway_fill();
    void jifenhuizhong();
    void setBrowseMode();
    void setEditMode();
    bool editMode() const;

    void add_Click();
    // Saves grid row `row` (0-based); false when a check or the database refused it.
    bool runway_save(int row);
    void save_Click();
    void khxc_del();
    void sortByColumn(int column);
    // The ticket-state menu is offered only in edit mode on a saved row.
    bool ticketMenuAllowed() const;
    void menu_tp_Click();
    void menu_zf_Click();
    void printItinerary(bool preview);

    ItineraryModel *model() const { return m_model; }
    QTableView *grid() const { return m_grid; }
    Recordset *rows() const { return m_rows; }
    int currentRow() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QStringList get_field() const;
    void fill();
    void flwg_set();
    void commitEditors();
    // Stages grid row `row` in the recordset (not yet written); false when a required cell is empty.
    bool stageRow(int row);
    void changeTicketState(const QString &state);
    void moveCell(int rowStep, int columnStep);

    AppState &m_state;
    QString m_kh;
    bool m_locked = false;
    std::function<QString()> m_customerName;
    Recordset *m_dictionary;
    Recordset *m_rows;
    Recordset *m_totals;
    struct Prepared
    {
        QString kh;
        Recordset *rows = nullptr;
        Recordset *totals = nullptr;
    } m_prepared;
    ItineraryModel *m_model;
    QTableView *m_grid;
    QList<ItineraryDelegate *> m_delegates;
    BoundGrid *m_summary;
    QCheckBox *m_compute;
    QPushButton *m_add, *m_save, *m_delete;
    QRadioButton *m_edit, *m_browse;
    QLineEdit *m_id;
    QMenu *m_stateMenu;
    Qt::SortOrder m_sortOrder = Qt::DescendingOrder;
    int m_widthsSet = -1;
};
