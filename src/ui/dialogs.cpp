#include "ui/dialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
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
    QString locationFileName(QWidget *parent, const QString &caption, const QString &filter,
                             const QString &suggested) override
    {
        // An open dialog that also takes a name not there yet, so a new
        // database can be placed in an empty folder.
        const QFileInfo start(suggested);
        QFileDialog dialog(parent, caption, start.absolutePath(), filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.selectFile(start.fileName());
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                        : QString();
    }
    std::optional<QString> password(QWidget *parent, const QString &caption, const QString &label) override
    {
        bool ok = false;
        const QString text = QInputDialog::getText(parent, caption, label, QLineEdit::Password, QString(), &ok);
        return ok ? std::optional<QString>(text) : std::nullopt;
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
