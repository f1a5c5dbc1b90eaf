#pragma once

#include <QString>

class QPrinter;
class QWidget;

// File, print and print-setup dialogs, behind one interface that tests replace
// (a real file dialog cannot be driven from a test and would hang it).
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // Full path of the chosen file, or empty when cancelled.
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &filter) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &filter) = 0;
    // True when the operator confirmed printing.
    virtual bool print(QWidget *parent, QPrinter *printer) = 0;
    virtual void printSetup(QWidget *parent, QPrinter *printer) = 0;

    static Dialogs &current();
    // Test seam: nullptr restores the real dialogs. The caller keeps ownership.
    static void replace(Dialogs *dialogs);
};
