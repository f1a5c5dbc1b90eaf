#pragma once

#include <QString>

// A file the program reads at run time (picture, icon). Installed, they live in
// the data folder beside bin/ (<prefix>/share/avelor); in the build tree they sit
// beside the executable. Both are found from where the program runs, so a moved
// or packaged copy finds its own files. Returns the path to use even when the
// file is missing: the caller then shows nothing.
QString programDataFile(const QString &name);
// The program's picture (the main window's background and the query windows' banner).
QString programPicturePath();
