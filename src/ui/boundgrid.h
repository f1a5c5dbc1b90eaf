#pragma once

#include <QTableView>

class Recordset;
class RecordsetModel;

// Sets a grid column's width from twips (15 to a pixel); 0 hides the column.
// A column is never made narrower than the text it shows.
void applyColumnWidthTwips(QTableView *view, int column, int twips);

// A grid bound to a recordset: the selected row is the recordset's current
// row, both ways. Binding again restores the raw column names.
class BoundGrid : public QTableView
{
    Q_OBJECT
public:
    explicit BoundGrid(QWidget *parent = nullptr);

    void bind(Recordset *recordset);
    void unbind() { bind(nullptr); }
    Recordset *recordset() const;
    RecordsetModel *recordsetModel() const { return m_model; }

    void setCaption(int column, const QString &caption);
    void setEditable(bool editable);
    // Column width in twips (15 twips to a pixel).
    void setColumnWidthTwips(int column, int twips);

signals:
    // The operator picked another row; the recordset has moved there.
    void rowChosen(int row);

private:
    void followRecordset(int row);
    RecordsetModel *m_model;
    bool m_syncing = false;
};
