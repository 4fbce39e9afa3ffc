#include "core/Conv.h"

#include <QLocale>

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
    // The syntax is checked above, so QLocale only refuses a number out of range, and then it
    // gives +-infinity (overflow) or 0 (underflow). strtod would follow the user's locale.
    *out = QLocale::c().toDouble(QStringView(s).mid(pos, end - pos));
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
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace Conv
