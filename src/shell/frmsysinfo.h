#pragma once

#include <QDialog>

class Connection;

// 系统信息: what support asks for first, in a text the operator can copy.
class frmSysInfo : public QDialog
{
    Q_OBJECT
public:
    // Reads the report now; a database error propagates to the caller.
    explicit frmSysInfo(Connection &connection, QWidget *parent = nullptr);
};
