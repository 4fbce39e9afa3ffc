#include "BasicAuth.h"

#include <QCryptographicHash>

#include <crypt.h>

#include <iterator>
#include <memory>

namespace {

bool sameBytes(const char *a, const char *b, size_t n)
{
    unsigned char diff = 0;
    for (size_t i = 0; i < n; ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

} // namespace

BasicAuth::BasicAuth(const QMap<QByteArray, QByteArray> &users)
    : m_users(users)
{
}

bool BasicAuth::Verify(const QByteArray &password, const QByteArray &hash)
{
    // crypt_data is large (tens of KiB): not on a server thread's stack.
    auto data = std::make_unique<crypt_data>();
    const char *out = crypt_r(password.constData(), hash.constData(), data.get());
    const bool ok = out && out[0] != '*' && qstrlen(out) == size_t(hash.size())
        && sameBytes(out, hash.constData(), size_t(hash.size()));
    explicit_bzero(data.get(), sizeof(crypt_data));
    return ok;
}

bool BasicAuth::verifyHeader(const QByteArray &header) const
{
    if (!header.startsWith("Basic ") || m_users.isEmpty())
        return false;
    QByteArray decoded = QByteArray::fromBase64(header.mid(6).trimmed());
    const qsizetype colon = decoded.indexOf(':');
    bool ok = false;
    if (colon > 0) {
        const QByteArray user = decoded.left(colon);
        QByteArray password = decoded.mid(colon + 1);
        const auto it = m_users.constFind(user);
        // An unknown user costs as much as a known one, so the time does not tell names apart.
        const QByteArray &hash = it != m_users.cend() ? it.value() : m_users.first();
        ok = Verify(password, hash) && it != m_users.cend();
        password.fill('\0');
    }
    decoded.fill('\0');
    return ok;
}

BasicAuth::Answer BasicAuth::check(const QByteArray &header, const QByteArray &client, qint64 nowMs)
{
    if (header.isEmpty())
        return { Result::Missing, 0 };
    const QByteArray key = QCryptographicHash::hash(header, QCryptographicHash::Sha256);
    {
        QMutexLocker lock(&m_mutex);
        const auto passed = m_passed.constFind(key);
        if (passed != m_passed.cend() && passed.value() > nowMs)
            return { Result::Ok, 0 };
        const auto failed = m_failures.constFind(client);
        if (failed != m_failures.cend() && failed->until > nowMs)
            return { Result::Wait, int((failed->until - nowMs + 999) / 1000) };
    }

    const bool ok = verifyHeader(header);

    QMutexLocker lock(&m_mutex);
    if (ok) {
        m_failures.remove(client);
        if (m_passed.size() >= CacheSize) {
            for (auto it = m_passed.begin(); it != m_passed.end();)
                it = it.value() <= nowMs ? m_passed.erase(it) : std::next(it);
            if (m_passed.size() >= CacheSize)
                m_passed.clear();
        }
        m_passed.insert(key, nowMs + CacheMs);
        return { Result::Ok, 0 };
    }
    if (m_failures.size() >= 4096) {
        for (auto it = m_failures.begin(); it != m_failures.end();)
            it = it->last + ForgetMs <= nowMs ? m_failures.erase(it) : std::next(it);
    }
    Failures &f = m_failures[client];
    if (f.last + ForgetMs <= nowMs)
        f.count = 0;
    ++f.count;
    f.last = nowMs;
    if (f.count > FreeFailures)
        f.until = nowMs + qMin(MaxDelayMs, qint64(1000) << qMin(f.count - FreeFailures - 1, 16));
    return { Result::Wrong, 0 };
}
