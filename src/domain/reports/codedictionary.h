#pragma once

#include <QString>

// The value lists (dict) as the code dictionary editor reads them; rows are
// written back through the editor's recordset.
namespace CodeDictionary {
QString rowsSql();    // every row, by class
QString classesSql(); // the classes, once each
QString printSql();   // the printed list and the browse tab
}
