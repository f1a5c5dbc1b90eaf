#include "store/passwordhash.h"

#include "store/dberror.h"

#include <sodium.h>

namespace {

const unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
const size_t kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;

void initSodium()
{
    // Thread-safe and idempotent; a failure leaves the library unusable.
    static const bool ready = sodium_init() >= 0;
    if (!ready)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("密码库初始化失败"));
}

// The typed text as bytes that are wiped when they go.
class Secret
{
public:
    explicit Secret(const QString &text) : m_bytes(text.toUtf8()) {}
    ~Secret() { sodium_memzero(m_bytes.data(), static_cast<size_t>(m_bytes.size())); }
    Secret(const Secret &) = delete;
    Secret &operator=(const Secret &) = delete;
    const char *data() const { return m_bytes.constData(); }
    unsigned long long size() const { return static_cast<unsigned long long>(m_bytes.size()); }

private:
    QByteArray m_bytes;
};

} // namespace

QString PasswordHash::make(const QString &password)
{
    initSodium();
    const Secret secret(password);
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, secret.data(), secret.size(), kOpsLimit, kMemLimit) != 0)
        throw DbException(DbErrorCode::GeneralFailure, QStringLiteral("内存不足，无法加密口令"));
    return QString::fromLatin1(out);
}

bool PasswordHash::isHash(const QVariant &stored)
{
    if (stored.isNull())
        return false;
    const QString text = stored.toString();
    return text.startsWith(QLatin1String(crypto_pwhash_argon2id_STRPREFIX))
           || text.startsWith(QLatin1String(crypto_pwhash_argon2i_STRPREFIX));
}

bool PasswordHash::matches(const QVariant &stored, const QString &typed)
{
    if (stored.isNull())
        return false;
    if (!isHash(stored)) {
        const QByteArray a = stored.toString().toUtf8(), b = typed.toUtf8();
        initSodium();
        return a.size() == b.size() && sodium_memcmp(a.constData(), b.constData(), static_cast<size_t>(a.size())) == 0;
    }
    initSodium();
    const QByteArray hash = stored.toString().toLatin1();
    const Secret secret(typed);
    return crypto_pwhash_str_verify(hash.constData(), secret.data(), secret.size()) == 0;
}
