#include "ui/dialogs.h"

#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QInputDialog>
#include <QLineEdit>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// Icons and types from the name alone. The stock provider reads a file whose
// name does not tell its type (the archive's -wal and -shm files among them),
// and closing what it opened would drop the engine's locks on it.
class NameOnlyIconProvider : public QAbstractFileIconProvider
{
public:
    QIcon icon(IconType type) const override { return m_stock.icon(type); }
    QIcon icon(const QFileInfo &info) const override
    {
        return m_stock.icon(info.isDir() ? QAbstractFileIconProvider::Folder : QAbstractFileIconProvider::File);
    }
    QString type(const QFileInfo &info) const override
    {
        if (info.isDir())
            return QStringLiteral("文件夹");
        const QMimeType mime = m_mimes.mimeTypeForFile(info.fileName(), QMimeDatabase::MatchExtension);
        return mime.isDefault() ? QStringLiteral("文件") : mime.comment();
    }

private:
    QFileIconProvider m_stock;
    QMimeDatabase m_mimes;
};

// Every file dialog of the program: Qt's own, so the provider above is the one used.
QString runFileDialog(QWidget *parent, const QString &caption, const QString &filter, QFileDialog::AcceptMode accept,
                      QFileDialog::FileMode mode, const QString &suggested = QString(), const QString &folder = QString())
{
    static NameOnlyIconProvider icons;
    const QFileInfo start(suggested);
    // A bare file name leaves the dialog in the folder it used last, unless a folder is given.
    QFileDialog dialog(parent, caption, start.isAbsolute() ? start.absolutePath() : folder, filter);
    dialog.setObjectName(QStringLiteral("fileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&icons);
    dialog.setAcceptMode(accept);
    dialog.setFileMode(mode);
    if (!suggested.isEmpty())
        dialog.selectFile(start.fileName());
    return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().first()
                                                                                    : QString();
}

class RealDialogs : public Dialogs
{
public:
    QString openFileName(QWidget *parent, const QString &caption, const QString &filter, const QString &folder) override
    {
        return runFileDialog(parent, caption, filter, QFileDialog::AcceptOpen, QFileDialog::ExistingFile, QString(),
                             folder);
    }
    QString saveFileName(QWidget *parent, const QString &caption, const QString &filter) override
    {
        return runFileDialog(parent, caption, filter, QFileDialog::AcceptSave, QFileDialog::AnyFile);
    }
    QString saveFileNameAs(QWidget *parent, const QString &caption, const QString &filter,
                           const QString &suggested) override
    {
        return runFileDialog(parent, caption, filter, QFileDialog::AcceptSave, QFileDialog::AnyFile, suggested);
    }
    QString locationFileName(QWidget *parent, const QString &caption, const QString &filter,
                             const QString &suggested) override
    {
        // An open dialog that also takes a name not there yet, so a new
        // database can be placed in an empty folder.
        return runFileDialog(parent, caption, filter, QFileDialog::AcceptOpen, QFileDialog::AnyFile, suggested);
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
