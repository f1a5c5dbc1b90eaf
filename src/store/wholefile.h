#pragma once

#include <QString>
#include <functional>

// Writes a database file so that `target` is only ever replaced by a whole
// one: `write` fills a file beside it (target + ".part"), which is renamed over
// target in one step when write returns. On an exception nothing of it stays
// and an earlier target is left as it was.
void writeWholeFile(const QString &target, const std::function<void(const QString &temporary)> &write);
