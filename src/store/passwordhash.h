#pragma once

#include <QString>
#include <QVariant>

// Operator passwords as they are kept: a salted, slow, self-describing hash
// (Argon2id at libsodium's interactive limits), never the typed text.
namespace PasswordHash {
// The stored form of a password; every call gives a new salt. An empty
// password is hashed like any other. Throws DbException when out of memory.
QString make(const QString &password);
// True when the stored value is one of our hashes, not a clear text left by
// an older file or a row typed in by hand.
bool isHash(const QVariant &stored);
// Exact comparison, case and blanks included. A null stored value matches
// nothing; a stored clear text is compared as it stands.
bool matches(const QVariant &stored, const QString &typed);
}
