#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QMutex>

// HTTP basic authentication against bcrypt hashes. A bcrypt check costs a tenth of a second or
// more, so a header that passed is remembered for a while (by its hash, never in clear), and an
// address that keeps failing must wait before the next check.
class BasicAuth
{
public:
    enum class Result { Ok, Missing, Wrong, Wait };
    struct Answer
    {
        Result result = Result::Missing;
        int retryAfterSeconds = 0; // with Wait
    };

    static constexpr qint64 CacheMs = 5 * 60 * 1000;
    static constexpr int CacheSize = 64;
    static constexpr int FreeFailures = 2; // a typo or two costs nothing
    static constexpr qint64 MaxDelayMs = 60 * 1000;
    static constexpr qint64 ForgetMs = 10 * 60 * 1000;

    explicit BasicAuth(const QMap<QByteArray, QByteArray> &users);

    // header: the Authorization header's value; client: the peer's address; nowMs: a steady clock.
    Answer check(const QByteArray &header, const QByteArray &client, qint64 nowMs);

    // The password against a crypt(3) hash, through libxcrypt.
    static bool Verify(const QByteArray &password, const QByteArray &hash);

private:
    struct Failures
    {
        int count = 0;
        qint64 last = 0;
        qint64 until = 0;
    };

    bool verifyHeader(const QByteArray &header) const;

    const QMap<QByteArray, QByteArray> m_users;
    QMutex m_mutex;
    QHash<QByteArray, qint64> m_passed; // SHA-256 of the header -> expiry
    QHash<QByteArray, Failures> m_failures; // by client address
};
