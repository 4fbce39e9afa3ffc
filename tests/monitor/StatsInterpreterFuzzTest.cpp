#include "common/ReadingFuzz.h"
#include "common/TestSupport.h"
#include "monitor/StatsInterpreter.h"
#include "settings/Conv.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <random>

class StatsInterpreterFuzzTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every input ends in a finished update or in a failure the log explains; never in a crash or
    // undefined behaviour (the sanitizer build runs this too).
    void everyInputEndsInSuccessOrReportedFailure()
    {
        InputMaker maker;
        const QString closing = QStringLiteral("Fuzz updated successfully at: D\r\n");
        int failures = 0;
        for (int i = 0; i < 100000; ++i) {
            const UpdateInput in = maker.next();
            const UpdateResult r = StatsInterpreter::Run(in);
            const QStringList log = r.texts();
            auto kinds = [&r](LogKind kind) {
                return std::count_if(r.log.cbegin(), r.log.cend(), [kind](const auto &l) { return l.kind == kind; });
            };
            const bool ok = log.size() >= 2 && log.first() == QStringLiteral("\r\nStarting Update of Fuzz")
                && (r.failure == 0) == (log.last() == closing) && (r.failure == 0) == (kinds(LogKind::Failure) == 0)
                && kinds(LogKind::Alarm) == (r.playAlarm ? 1 : 0)
                && (r.failure != 0 || (r.percentText && r.cpuTimeText && r.unitNumberText && r.cpuSeconds))
                && (r.failure == 0 || r.failure == 52 || r.failure == 76
                    || log.join(u'|').contains(QStringLiteral("Error #: %1").arg(r.failure)))
                && (!(in.fields.barPercent >= 0 && in.fields.barPercent <= 100)
                    || (r.fields.barPercent >= 0 && r.fields.barPercent <= 100))
                && (!r.playAlarm || log.join(u'|').contains(QStringLiteral("Failed to download")));
            if (!ok)
                QFAIL(qPrintable(
                    QStringLiteral("input %1 ended badly, failure %2:\n").arg(i).arg(r.failure) + log.join(u'\n')));
            failures += r.failure != 0;
        }
        // Both outcomes must occur often, or the generator has gone blind.
        QVERIFY(failures > 10000 && failures < 95000);
    }
};

TAVRIK_TEST(StatsInterpreterFuzzTest)
#include "StatsInterpreterFuzzTest.moc"
