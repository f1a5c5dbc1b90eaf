#include "ui/dialogs.h"

#include <QFileDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace {

class RealDialogs : public Dialogs
{
public:
    QString openFileName(QWidget *parent, const QString &caption, const QString &filter) override
    {
        return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    }
    QString saveFileName(QWidget *parent, const QString &caption, const QString &filter) override
    {
        return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
    }
    bool print(QWidget *parent, QPrinter *printer) override
    {
        QPrintDialog dialog(printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    bool printSetup(QWidget *parent, QPrinter *printer) override
    {
        QPageSetupDialog dialog(printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
};

Dialogs *&replacement()
{
    static Dialogs *d = nullptr;
    return d;
}

} // namespace

Dialogs &Dialogs::current()
{
    static RealDialogs real;
    return replacement() ? *replacement() : real;
}

QPrinter &Dialogs::printer()
{
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

namespace {
bool g_printerSetUp = false;
}

bool Dialogs::printerSetUp()
{
    return g_printerSetUp;
}

void Dialogs::setPrinterSetUp(bool setUp)
{
    g_printerSetUp = setUp;
}

void Dialogs::replace(Dialogs *dialogs)
{
    replacement() = dialogs;
}
