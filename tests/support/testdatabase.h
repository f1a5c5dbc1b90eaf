#pragma once

#include "store/connection.h"
#include "store/databasecreator.h"

#include <QTemporaryDir>
#include <QVariant>

// A fresh database in a temporary folder, made by the same code as the
// delivered file (once per test program, then copied), with an open
// connection to it. Settings are pointed at the
// same folder, so no test touches the user's own.
class TestDatabase
{
public:
    enum class Content { Empty, Demo };
    explicit TestDatabase(Content content = Content::Empty, const DemoSize &size = {});

    QString path() const { return m_path; }
    QString folder() const; // with its trailing separator
    QString fileName() const;
    QString tempDir() const { return m_dir.path(); }
    Connection &connection() { return m_connection; }

    // First column of the first row, or an invalid variant when there is no row.
    QVariant scalar(const QString &sql);
    int count(const QString &tableAndCondition);

private:
    QTemporaryDir m_dir;
    QString m_path;
    Connection m_connection;
};
