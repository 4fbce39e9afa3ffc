#pragma once

#include <QDateTime>

// The program's one source of the current time; tests set it.
namespace Clock {

QDateTime Now();
qint64 NowMs(); // the same as milliseconds since the epoch, without a time zone look-up
QDateTime NowUtc(); // the same in UTC, also without one
// The current date and time as the user's short date, a blank and the long time.
QString GeneralDate();

void SetFake(const QDateTime &when); // an invalid QDateTime returns to the real clock
void Advance(qint64 msecs); // moves a fake clock on

} // namespace Clock
