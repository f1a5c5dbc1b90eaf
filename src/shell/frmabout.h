#pragma once

#include <QDialog>

// The About box: title, version, picture, and the system information tool.
class frmAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmAbout(QWidget *parent = nullptr);

    static QString versionText();
    // Starts a system information program if one is installed, otherwise says it cannot.
    static void StartSysInfo();
};
