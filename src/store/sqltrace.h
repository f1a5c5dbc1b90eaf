#pragma once

#include <QLoggingCategory>

// Every statement the store runs, with its time. Off by default; turn it on
// with QT_LOGGING_RULES="torvane.sql=true".
Q_DECLARE_LOGGING_CATEGORY(lcSql)
