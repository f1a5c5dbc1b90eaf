#pragma once

#include <QDialog>

// The About box: title, version, picture, and the system information tool.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    static QString versionText();
    // Shows the system information of the program and its open archive.
    static void StartSysInfo();
};
