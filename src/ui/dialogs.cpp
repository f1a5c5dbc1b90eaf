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
        printer->setPrintRange(QPrinter::AllPages);
        QPrintDialog dialog(printer, parent);
        return dialog.exec() == QDialog::Accepted;
    }
    void printSetup(QWidget *parent, QPrinter *printer) override
    {
        QPageSetupDialog dialog(printer, parent);
        dialog.exec();
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

void Dialogs::replace(Dialogs *dialogs)
{
    replacement() = dialogs;
}
