#include "common/TestSupport.h"
#include "core/Conv.h"
#include "core/Failure.h"
#include "monitor/StatsInterpreter.h"

#include <QTest>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <random>

namespace {

// Builds hostile but plausible inputs: client texts cut short, keys in any case, values of every
// shape, raw bytes, failures of every kind, and window fields no sane run would leave behind.
class InputMaker
{
public:
    explicit InputMaker(quint32 seed)
        : m_rng(seed)
    {
    }

    UpdateInput next()
    {
        UpdateInput in;
        in.name = QStringLiteral("Fuzz");
        in.path = QStringLiteral("/fuzz/");
        in.date = QStringLiteral("D");
        in.files.state = clientFile({"prog=", "cpu="});
        in.files.user = clientFile({"nwus=", "nresults=", "total_cpu="});
        switch (pick(6)) {
        case 0: in.files.wtempError = anyCode(); break;
        case 1: in.files.wtempLength = 360448; break;
        case 2: in.files.wtempLength = 360448 + pick(3) - 1; break;
        case 3: in.files.wtempLength = qint64(m_rng()) * qint64(m_rng() % 1000); break;
        default: in.files.wtempLength = pick(400000); break;
        }
        in.fields.Percent = anyFloat();
        in.fields.LastPercent = anyFloat();
        in.fields.DownloadPercent = anyFloat();
        in.fields.barValue = pick(4) == 0 ? anyFloat() : float(pick(101));
        in.fields.DownloadStart = pick(3) == 0 ? 0 : qint32(m_rng());
        in.fields.label3Red = pick(2) == 0;
        in.alarmInterval = qint16(m_rng());
        in.clock = pick(8) == 0 ? anyDouble() : double(m_rng() % 8640000) / 100.0;
        in.shownDownloaded = Conv::Val(value());
        in.shownUploaded = Conv::Val(value());
        return in;
    }

private:
    int pick(int n) { return int(m_rng() % quint32(n)); }

    int anyCode()
    {
        static const int codes[] = {5, 7, 52, 53, 53, 67, 70, 75, 76, 76, 999};
        return codes[pick(int(std::size(codes)))];
    }

    float anyFloat()
    {
        switch (pick(4)) {
        case 0: return float(pick(101));
        case 1: return 100.0f;
        case 2: return float(int(m_rng() % 40000) - 20000) / 100.0f;
        default: {
            const quint32 bits = m_rng();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        }
    }

    double anyDouble()
    {
        const quint64 bits = (quint64(m_rng()) << 32) | m_rng();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

    QString value()
    {
        static const char *shapes[] = {"0.5", "1", "1.0", "0", "-0", "-0.25", "100", "1e39", "1e-45", "1e400",
                                       "nan", "inf", "", " ", " 12 ", "12abc", "0x10", "1,5", "+.5", ".", "-",
                                       "99999999999999999999", "3600\r", "0.999990", "1.000001"};
        switch (pick(10)) {
        case 0: return QString::number(double(m_rng()) / double(1 + m_rng() % 1000), 'g', 1 + pick(17));
        case 1:
        case 2:
        case 3: return QString::number(double(m_rng() % 1100001) / 1e6, 'f', 6);
        case 4:
        case 5: return QString::number(m_rng() % 100000);
        default: return QString::fromLatin1(shapes[pick(int(std::size(shapes)))]);
        }
    }

    QString key(const char *k)
    {
        QString s = QString::fromLatin1(k);
        for (QChar &c : s)
            if (pick(2) == 0)
                c = c.toUpper();
        if (pick(20) == 0)
            s.remove(pick(int(s.size())), 1); // a damaged key
        return s;
    }

    ClientFile clientFile(std::initializer_list<const char *> keys)
    {
        ClientFile f;
        const int kind = pick(16);
        if (kind == 0) {
            f.error = anyCode();
            if (pick(2) == 0)
                f.detail = QStringLiteral("detail");
            return f;
        }
        if (kind == 1) { // raw bytes
            QByteArray bytes(pick(300), Qt::Uninitialized);
            for (char &b : bytes)
                b = char(m_rng());
            f.text = QString::fromLatin1(bytes);
            return f;
        }
        const QString eol = pick(2) == 0 ? QStringLiteral("\n") : QStringLiteral("\r\n");
        QString text = QStringLiteral("id=1") + eol;
        for (const char *k : keys) {
            if (pick(12) != 0)
                text += key(k) + value() + eol;
            if (pick(8) == 0)
                text += QStringLiteral("other_cpu=") + value() + eol;
        }
        if (kind == 2)
            text.truncate(pick(int(text.size()) + 1)); // caught half written
        f.text = text;
        return f;
    }

    std::mt19937 m_rng;
};

bool knownCode(int code)
{
    static const int codes[] = {5, 6, 7, 13, 52, 53, 67, 70, 75, 76, 380, 999};
    return std::find(std::begin(codes), std::end(codes), code) != std::end(codes);
}

} // namespace

class StatsInterpreterFuzzTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every input ends in a finished update or in a reported failure, never in a crash or in
    // undefined behaviour (this test also runs under the sanitizers).
    void everyInputEndsInSuccessOrReportedFailure()
    {
        InputMaker maker(20261206);
        const QString closing = QStringLiteral("Fuzz updated successfully at: D\r\n");
        int failures = 0;
        for (int i = 0; i < 100000; ++i) {
            const UpdateInput in = maker.next();
            const UpdateResult r = StatsInterpreter::Run(in);
            const QString context = QStringLiteral("input %1, failure %2").arg(i).arg(r.failure);
            auto check = [&](bool ok, const char *what) {
                if (!ok)
                    QFAIL(qPrintable(context + QStringLiteral(": ") + QLatin1String(what)));
            };
            check(r.log.size() >= 2 && r.log.first() == QStringLiteral("\r\nStarting Update of Fuzz"), "opening");
            check((r.failure == 0) == (r.log.last() == closing), "closing text iff success");
            if (r.failure == 0) {
                check(r.percentText && r.timeText && r.packageText && r.packageUpText && r.cpuSeconds, "labels");
            } else {
                ++failures;
                check(knownCode(r.failure), "known code");
                const QString all = r.log.join(u'|');
                check(all.contains(QStringLiteral("Error #: %1").arg(r.failure)) || r.failure == 52
                          || r.failure == 76,
                      "failure explained");
            }
            if (in.fields.barValue >= 0 && in.fields.barValue <= 100)
                check(r.fields.barValue >= 0 && r.fields.barValue <= 100, "bar stays in range");
            if (r.playAlarm)
                check(r.log.join(u'|').contains(QStringLiteral("Failed to download")), "alarm explained");
            if (QTest::currentTestFailed())
                return;
        }
        // Both outcomes must actually occur, or the generator has gone blind.
        QVERIFY(failures > 10000);
        QVERIFY(failures < 95000);
    }
};

TAVRIK_TEST(StatsInterpreterFuzzTest)
#include "StatsInterpreterFuzzTest.moc"
