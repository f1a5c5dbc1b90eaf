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
    // True when the operator confirmed printing; the printer then holds the
    // chosen printer, pages, paper and orientation.
    virtual bool print(QWidget *parent, QPrinter *printer) = 0;
    // True when the operator confirmed the page setup.
    virtual bool printSetup(QWidget *parent, QPrinter *printer) = 0;

    static Dialogs &current();

    // The program's printer: what the operator chose in the print setup (paper,
    // orientation, printer) holds for every later preview and print.
    static QPrinter &printer();
    // True once the operator has confirmed the print setup.
    static bool printerSetUp();
    static void setPrinterSetUp(bool setUp);
    // Test seam: nullptr restores the real dialogs. The caller keeps ownership.
    static void replace(Dialogs *dialogs);
};
