#pragma once

#include <QString>

// Windows write SQL as the program always has (the Jet dialect). Before a
// statement reaches SQLite this rewrites, outside string literals and bracketed
// names only:
//   delete * from t   ->  delete from t
//   #2003-1-1#        ->  '2003-01-01'   (every date form parseJetDate reads)
// Everything else ([name], true/false, like with %, Chinese aliases) is left
// as it is.
QString translateJet(const QString &sql);
