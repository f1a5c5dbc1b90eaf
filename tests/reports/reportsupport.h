#pragma once

// What the report tests share: dialogs that never open, the preview windows
// left on screen, and a total as the report footer prints it.

#include "support/testdatabase.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QWidget>

// Print and file dialogs that never open: printing is cancelled, a file
// dialog answers with a fixed path. Installed for its lifetime.
class NoDialogs : public Dialogs
{
public:
    explicit NoDialogs(const QString &fileAnswer = QString()) : m_fileAnswer(fileAnswer) { Dialogs::replace(this); }
    ~NoDialogs() override { Dialogs::replace(nullptr); }
    NoDialogs(const NoDialogs &) = delete;
    NoDialogs &operator=(const NoDialogs &) = delete;

    QString openFileName(QWidget *, const QString &, const QString &) override { return m_fileAnswer; }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return m_fileAnswer; }
    bool print(QWidget *, QPrinter *) override
    {
        ++printAsked;
        return false;
    }
    bool printSetup(QWidget *, QPrinter *) override { return false; }

    int printAsked = 0;

private:
    QString m_fileAnswer;
};

inline QList<QWidget *> previewWindows()
{
    QList<QWidget *> found;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("ReportPreview"))
            found << w;
    return found;
}

// The footer total of `column` over "from ... where ...", as a column without
// a number format prints it: whole when every value is whole, otherwise with
// two decimals.
inline QString expectedTotal(TestDatabase &db, const QString &column, const QString &fromWhere)
{
    const QString where = fromWhere.contains(QLatin1String(" where "), Qt::CaseInsensitive) ? QStringLiteral(" and ")
                                                                                           : QStringLiteral(" where ");
    const double sum = db.scalar(QStringLiteral("select total(%1) from %2").arg(column, fromWhere)).toDouble();
    const bool whole = db.scalar(QStringLiteral("select count(*) from %2%3%1 <> round(%1)").arg(column, fromWhere, where))
                           .toInt()
                       == 0;
    return whole ? QString::number(static_cast<qint64>(sum)) : QString::number(sum, 'f', 2);
}
