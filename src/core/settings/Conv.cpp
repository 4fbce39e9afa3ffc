#include "settings/Conv.h"

#include <QLocale>

#include <charconv>
#include <cmath>
#include <limits>

namespace Conv {

namespace {

    bool isBlankChar(QChar c)
    {
        return c == u' ' || c == u'\t' || c == u'\r';
    }

    // Reads a decimal number starting at pos; returns the index after it, or pos when there is none.
    qsizetype scanNumber(const QString &s, qsizetype pos, double *out)
    {
        qsizetype i = pos;
        const qsizetype n = s.size();
        if (i < n && (s[i] == u'+' || s[i] == u'-'))
            ++i;
        qsizetype digits = 0;
        while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
            ++i;
            ++digits;
        }
        if (i < n && s[i] == u'.') {
            ++i;
            while (i < n && s[i].isDigit() && s[i].unicode() < 128) {
                ++i;
                ++digits;
            }
        }
        if (digits == 0)
            return pos;
        qsizetype end = i;
        if (i < n && (s[i] == u'e' || s[i] == u'E')) {
            qsizetype j = i + 1;
            if (j < n && (s[j] == u'+' || s[j] == u'-'))
                ++j;
            qsizetype expDigits = 0;
            while (j < n && s[j].isDigit() && s[j].unicode() < 128) {
                ++j;
                ++expDigits;
            }
            if (expDigits > 0)
                end = j;
        }
        // The syntax is checked above and every character is ASCII. from_chars ignores the locale
        // (strtod would not) and is cheap; only a number out of range goes through QLocale, which
        // gives +-infinity (overflow) or 0 (underflow).
        char buffer[64];
        const QStringView text = QStringView(s).mid(pos, end - pos);
        if (text.size() < qsizetype(sizeof buffer)) {
            qsizetype k = 0;
            for (const QChar c : text) {
                if (c != u'+')
                    buffer[k++] = char(c.unicode());
            }
            double value = 0;
            const auto [ptr, ec] = std::from_chars(buffer, buffer + k, value);
            if (ec == std::errc() && ptr == buffer + k) {
                *out = value;
                return end;
            }
        }
        *out = QLocale::c().toDouble(text);
        return end;
    }

} // namespace

std::optional<double> ParseNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && isBlankChar(text[i]))
        ++i;
    double value = 0;
    const qsizetype end = scanNumber(text, i, &value);
    if (end == i)
        return std::nullopt;
    qsizetype j = end;
    while (j < n && isBlankChar(text[j]))
        ++j;
    if (j != n || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<qint16> Int16FromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value); // default rounding mode: halves to even
    if (r < -32768.0 || r > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(r);
}

std::optional<qint32> Int32FromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);
    if (r < -2147483648.0 || r > 2147483647.0)
        return std::nullopt;
    return static_cast<qint32>(r);
}

std::optional<qint64> Int64FromDouble(double value)
{
    if (!std::isfinite(value))
        return std::nullopt;
    const double r = std::nearbyint(value);
    // 2^63 itself is not representable; the bound is the largest double below it.
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0)
        return std::nullopt;
    return static_cast<qint64>(r);
}

std::optional<qint16> ToInt16(const QString &text)
{
    const auto v = ParseNumber(text);
    return v ? Int16FromDouble(*v) : std::nullopt;
}

std::optional<qint32> ToInt32(const QString &text)
{
    const auto v = ParseNumber(text);
    return v ? Int32FromDouble(*v) : std::nullopt;
}

std::optional<bool> ToBool(const QString &text)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto v = ParseNumber(t))
        return *v != 0.0;
    return std::nullopt;
}

double Val(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    double value = 0;
    return scanNumber(text, i, &value) == i ? 0.0 : value;
}

QString BoolText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString SingleText(float value)
{
    return QString::number(static_cast<double>(value), 'g', 7);
}

QString DoubleText(double value)
{
    // Fifteen significant digits, as many as a double holds for sure: an elapsed 15.092 s reads
    // "15.092", not the binary rounding noise the shortest round-trip form would show.
    if (std::trunc(value) == value && std::fabs(value) < 1e15)
        return QString::number(qint64(value)); // the same digits, without the slow general path
    return QString::number(value, 'g', 15);
}

} // namespace Conv
