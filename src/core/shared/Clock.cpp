#include "shared/Clock.h"

#include <QLocale>

namespace Clock {

namespace {

    QDateTime &fake()
    {
        static QDateTime f;
        return f;
    }

} // namespace

QDateTime Now()
{
    return fake().isValid() ? fake() : QDateTime::currentDateTime();
}

qint64 NowMs()
{
    return fake().isValid() ? fake().toMSecsSinceEpoch() : QDateTime::currentMSecsSinceEpoch();
}

QDateTime NowUtc()
{
    return QDateTime::fromMSecsSinceEpoch(NowMs(), Qt::UTC);
}

QString GeneralDate()
{
    const QDateTime now = Now();
    const QLocale locale = QLocale::system();
    return locale.toString(now.date(), QLocale::ShortFormat) + u' ' + locale.toString(now.time(), QLocale::LongFormat);
}

void SetFake(const QDateTime &when)
{
    fake() = when;
}

void Advance(qint64 msecs)
{
    if (fake().isValid())
        fake() = fake().addMSecs(msecs);
}

} // namespace Clock
