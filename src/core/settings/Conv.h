#pragma once

#include <QString>

#include <optional>

// Text <-> value conversions shared by the settings store, the client reader and the dialogs.
// Stored numbers always use "." as decimal point, whatever the user's locale.
namespace Conv {

// The whole text must be one decimal number (sign, ".", exponent); blanks, tabs and CR around it
// are ignored. Anything else is not a number.
std::optional<double> ParseNumber(const QString &text);

// Whole numbers round a fraction to the even neighbour and fail outside their range.
std::optional<qint16> ToInt16(const QString &text);
std::optional<qint32> ToInt32(const QString &text);
std::optional<qint16> Int16FromDouble(double value);
std::optional<qint32> Int32FromDouble(double value);
std::optional<qint64> Int64FromDouble(double value);

// True/False in any letter case, or a number (0 is false, anything else true).
std::optional<bool> ToBool(const QString &text);

// The leading number of a text: blanks skipped, sign, digits, fraction and exponent read as far
// as they go; 0 when the text does not start with a number. Never fails (may give +-inf).
double Val(const QString &text);

QString BoolText(bool value); // "True" / "False"
QString SingleText(float value); // shortest text of a single, at most 7 significant digits
QString DoubleText(double value); // at most 15 significant digits

} // namespace Conv
