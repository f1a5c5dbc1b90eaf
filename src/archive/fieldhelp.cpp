#include "archive/fieldhelp.h"

#include "store/fielddictionary.h"
#include "store/recordset.h"

#include <QComboBox>
#include <QListWidget>

void FieldHelp::ShowHelp(Connection &connection, const QString &comblx, const QString &checkname,
                         const QString &checkcolm, const QString &checkvalue, const QString &colmname, QComboBox *combo,
                         QListWidget *list)
{
    Recordset rows;
    rows.open(FieldDictionary::pickListSql(checkname, checkcolm, checkvalue), &connection, LockType::ReadOnly);
    const int column = rows.fieldIndex(colmname);
    if (comblx == QLatin1String("LIST")) {
        if (!list || rows.recordCount() == 0)
            return;
        list->clear();
        for (int i = 0; i < rows.recordCount(); ++i) {
            auto *item = new QListWidgetItem(rows.valueAt(i, column).toString(), list);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
    } else if (comblx == QLatin1String("COMB") && combo) {
        combo->clear();
        for (int i = 0; i < rows.recordCount(); ++i)
            combo->addItem(rows.valueAt(i, column).toString());
        combo->setCurrentIndex(-1);
    }
}

void FieldHelp::Showit(Connection &connection, QComboBox *comb, const QString &strlx)
{
    comb->clear();
    Recordset rows;
    rows.open(FieldDictionary::valueListSql(strlx), &connection, LockType::ReadOnly);
    if (rows.recordCount() == 0)
        return;
    const int column = rows.fieldIndex(QStringLiteral("sm"));
    for (int i = 0; i < rows.recordCount(); ++i)
        comb->addItem(rows.valueAt(i, column).toString());
    comb->setCurrentIndex(0);
}

QString FieldHelp::checkedText(const QListWidget *list)
{
    QString text;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked)
            text += list->item(i)->text() + QLatin1Char(' ');
    return text;
}

QString FieldHelp::sexShorthand(const QString &text)
{
    if (text == QLatin1String("1"))
        return QStringLiteral("男");
    if (text == QLatin1String("2"))
        return QStringLiteral("女");
    return text;
}
