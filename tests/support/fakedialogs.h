#pragma once

#include "ui/dialogs.h"

#include <QPrinter>
#include <QStringList>

// The file, print and password dialogs as an operator answers them, installed
// for its lifetime: a file dialog gives `file` (empty: cancelled) and notes the
// folder it was to open in; the print dialog is declined, or with `printTo`
// set accepted into that PDF file; passwords are typed in turn until they run
// out, then the box is cancelled.
class FakeDialogs : public Dialogs
{
public:
    explicit FakeDialogs(const QString &fileAnswer = QString()) : file(fileAnswer) { Dialogs::replace(this); }
    ~FakeDialogs() override { Dialogs::replace(nullptr); }
    FakeDialogs(const FakeDialogs &) = delete;
    FakeDialogs &operator=(const FakeDialogs &) = delete;

    QString openFileName(QWidget *, const QString &, const QString &, const QString &startFolder) override
    {
        ++fileAsked;
        folder = startFolder;
        return file;
    }
    QString saveFileName(QWidget *w, const QString &c, const QString &f) override { return openFileName(w, c, f, {}); }
    QString saveFileNameAs(QWidget *w, const QString &c, const QString &f, const QString &name) override
    {
        return suggested = name, openFileName(w, c, f, {});
    }
    bool print(QWidget *, QPrinter *printer) override
    {
        ++printAsked;
        if (printTo.isEmpty())
            return false;
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(printTo);
        return true;
    }
    bool printSetup(QWidget *, QPrinter *) override { return false; }
    std::optional<QString> password(QWidget *, const QString &, const QString &) override
    {
        if (passwords.isEmpty())
            return std::nullopt;
        return passwords.takeFirst();
    }

    QString file;
    QString folder; // where the last open dialog started
    QString printTo;
    QString suggested; // the file name a save dialog offered
    QStringList passwords;
    int fileAsked = 0;
    int printAsked = 0;
};
