#pragma once

#include <QString>
#include <optional>

class QPrinter;
class QWidget;

// File, print and print-setup dialogs, behind one interface that tests replace
// (a real file dialog cannot be driven from a test and would hang it).
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // Full path of the chosen file, or empty when cancelled. The dialog opens
    // in `folder` (empty: the working folder).
    virtual QString openFileName(QWidget *parent, const QString &caption, const QString &filter,
                                 const QString &folder) = 0;
    virtual QString saveFileName(QWidget *parent, const QString &caption, const QString &filter) = 0;
    // The same, offering `suggested` (a file name) in the name box.
    virtual QString saveFileNameAs(QWidget *parent, const QString &caption, const QString &filter,
                                   const QString &suggested)
    {
        Q_UNUSED(suggested);
        return saveFileName(parent, caption, filter);
    }
    // True when the operator confirmed printing; the printer then holds the
    // chosen printer, pages, paper and orientation.
    virtual bool print(QWidget *parent, QPrinter *printer) = 0;
    // True when the operator confirmed the page setup.
    virtual bool printSetup(QWidget *parent, QPrinter *printer) = 0;
    // Full path of an existing file or of a new one to be made there. The
    // dialog opens at `suggested` (a full path) and keeps offering its file
    // name in whatever folder the operator opens. Empty when cancelled. Test
    // doubles answer it as they answer openFileName.
    virtual QString locationFileName(QWidget *parent, const QString &caption, const QString &filter,
                                     const QString &suggested)
    {
        Q_UNUSED(suggested);
        return openFileName(parent, caption, filter, QString());
    }
    // A password typed into a masked box; nullopt when cancelled. Test doubles
    // that do not answer it cancel.
    virtual std::optional<QString> password(QWidget *parent, const QString &caption, const QString &label)
    {
        Q_UNUSED(parent);
        Q_UNUSED(caption);
        Q_UNUSED(label);
        return std::nullopt;
    }

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
