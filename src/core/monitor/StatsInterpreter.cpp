#include "monitor/StatsInterpreter.h"

#include "monitor/StatusTotals.h"
#include "monitor/modDateTime.h"
#include "settings/Conv.h"
#include "shared/Clock.h"
#include "shared/Failure.h"

#include <QLocale>
#include <QStringBuilder>

#include <cfloat>
#include <cmath>
#include <cstdio>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Where key (upper-case ASCII) first stands in text in any letter case, as a search of the
// upper-cased text would find it.
qsizetype indexOfKey(QStringView text, QLatin1String key)
{
    const qsizetype m = key.size();
    if (m == 0)
        return 0;
    // Candidates are found by the key's first letter, whose only lower-case form is the ASCII one
    // (true of P, C, N and T; not of I or S, which dotless i and long s also upper-case to).
    const QChar upper(key[0]);
    const QChar lower = upper.toLower();
    qsizetype nextUpper = text.indexOf(upper);
    qsizetype nextLower = lower == upper ? -1 : text.indexOf(lower);
    for (qsizetype last = text.size() - m;;) {
        qsizetype i = nextUpper < 0 ? nextLower : nextLower < 0 ? nextUpper : qMin(nextUpper, nextLower);
        if (i < 0 || i > last)
            return -1;
        if (i == nextUpper)
            nextUpper = text.indexOf(upper, i + 1);
        else
            nextLower = text.indexOf(lower, i + 1);
        qsizetype j = 1;
        for (; j < m; ++j) {
            char16_t c = text[i + j].unicode();
            if (c >= u'a' && c <= u'z')
                c = char16_t(c - 32);
            else if (c >= 0x80)
                c = char16_t(QChar::toUpper(char32_t(c)));
            if (c != char16_t(key[j].unicode()))
                break;
        }
        if (j == m)
            return i;
    }
}

struct Fault
{
    int code = 0;
    QString detail; // an extra log sentence
};

// One run of the algorithm. Each step either succeeds or returns the fault that ends the run;
// whatever a step wrote before failing stays written.
class Update
{
public:
    Update(const UpdateInput &in, UpdateResult &r)
        : in(in)
        , r(r)
    {
    }

    void run()
    {
        r.fields = in.fields;
        r.log.reserve(8);
        log(CrLf % QLatin1String("Starting Update of ") % in.name);
        if (const std::optional<Fault> f = steps())
            failed(*f);
    }

private:
    std::optional<Fault> steps()
    {
        log(QLatin1String("Reading file ") % in.path % ClientReader::StateFile);
        if (in.files.state.error)
            return Fault { in.files.state.error, in.files.state.detail };
        const QString &state = in.files.state.text;

        log(QLatin1String("Reading file ") % in.path % ClientReader::UserFile);
        if (in.files.user.error)
            return Fault { in.files.user.error, in.files.user.detail };
        const QString &user = in.files.user.text;

        QString prog, cpu;
        if (auto f = locate(state, QLatin1String("PROG="), ClientReader::StateFile, &prog))
            return f;
        if (auto f = locate(state, QLatin1String("CPU="), ClientReader::StateFile, &cpu))
            return f;

        MonitorFields &m = r.fields;
        m.LastPercent = m.Percent;
        double fraction = 0;
        if (auto f = toNumber(prog, &fraction))
            return f;
        if (std::fabs(fraction) > double(FLT_MAX))
            return Fault { Failure::Overflow, {} };
        const float percent = float(fraction) * 100.0f;
        if (!std::isfinite(percent))
            return Fault { Failure::Overflow, {} };
        m.Percent = percent;

        r.downloadingVisible = false;

        if (m.Percent != m.LastPercent) {
            r.percentRed = false;
            // A unit that moves is no download: timing kept from the last download would make the
            // next finished unit late at once and sound a false alarm.
            m.DownloadStart = 0;
            m.downloadSince = 0;
            if (auto f = setBar(m.Percent))
                return f;
        } else {
            r.percentRed = true;
            if (m.Percent > 99.999f) {
                downloadWatch();
                r.downloadingVisible = true;
                if (in.files.wtempError)
                    return Fault { in.files.wtempError, {} };
                m.DownloadPercent = downloadPercent();
                if (auto f = setBar(m.DownloadPercent))
                    return f;
                if (m.downloadNoticeRed)
                    downloadStartedNotice();
            } else if (m.Percent > 0) {
                r.downloadingVisible = false;
                m.DownloadStart = 0;
                m.downloadSince = 0;
            } else {
                downloadStartedNotice();
            }
        }

        r.percentText = StatsInterpreter::PercentText(m.barPercent);

        double seconds = 0;
        if (auto f = toNumber(cpu, &seconds))
            return f;
        r.cpuTimeText = modDateTime::SecondsToText(seconds);
        r.cpuSeconds = seconds;

        QString down, up;
        if (auto f = locate(user, QLatin1String("NWUS="), ClientReader::UserFile, &down))
            return f;
        if (auto f = locate(user, QLatin1String("NRESULTS="), ClientReader::UserFile, &up))
            return f;
        r.downloadedText = withoutLineEnd(down).toUpper();
        r.uploadedText = withoutLineEnd(up).toUpper();
        const double upCount = Conv::Val(*r.uploadedText);
        r.unitNumberText = Conv::DoubleText(upCount + 1);

        if (StatusTotals::Leads(in.shownDownloaded, in.shownUploaded, Conv::Val(*r.downloadedText), upCount)) {
            QString total;
            if (auto f = locate(user, QLatin1String("TOTAL_CPU="), ClientReader::UserFile, &total))
                return f;
            r.downloaded = *r.downloadedText;
            r.uploaded = *r.uploadedText;
            double totalSeconds = 0;
            if (auto f = toNumber(total, &totalSeconds))
                return f;
            r.totalTimeText = modDateTime::SecondsToText(totalSeconds);
            r.totalSeconds = totalSeconds;
        }

        log(in.name % QLatin1String(" updated successfully at: ") % in.date % CrLf);
        return std::nullopt;
    }

    // The value of a key: from just after its first occurrence up to the next line feed. A key
    // that is not there at all fails, rather than taking whatever stands at the text's start; a
    // text with no line feed there (empty, or cut short while being written) fails as before.
    std::optional<Fault> locate(const QString &text, QLatin1String key, const QString &file, QString *value) const
    {
        const qsizetype at = indexOfKey(text, key);
        const qsizetype start = at < 0 ? key.size() - 1 : at + key.size();
        const qsizetype end = text.indexOf(u'\n', start);
        if (at < 0 && end >= 0) {
            return Fault { Failure::TypeMismatch,
                QStringLiteral("The value \"%1\" was not found in %2.").arg(key, in.path + file) };
        }
        if (end < 0)
            return Fault { Failure::InvalidCall, {} };
        *value = text.mid(start, end - start);
        return std::nullopt;
    }

    static std::optional<Fault> toNumber(const QString &text, double *value)
    {
        const std::optional<double> v = Conv::ParseNumber(text);
        if (!v)
            return Fault { Failure::TypeMismatch, {} };
        *value = *v;
        return std::nullopt;
    }

    // A CRLF file leaves its CR at the end of a value; it is no part of what is shown.
    static QString withoutLineEnd(const QString &value) { return value.endsWith(u'\r') ? value.chopped(1) : value; }

    std::optional<Fault> setBar(float value)
    {
        if (!(value >= 0.0f && value <= 100.0f))
            return Fault { Failure::InvalidPropertyValue, {} };
        r.fields.barPercent = value + 0.0f; // no "-0"
        return std::nullopt;
    }

    float downloadPercent() const
    {
        return float(double(in.files.wtempLength) / StatsInterpreter::FullDownloadBytes * 100.0);
    }

    void downloadStartedNotice()
    {
        r.downloadCaption = QStringLiteral("Downloading a new work unit...");
        log(QStringLiteral("Downloading started at ") + in.date);
        r.fields.downloadNoticeRed = false;
    }

    void downloadWatch()
    {
        MonitorFields &m = r.fields;
        r.downloadWatched = true;
        // A clock set back past the watch's start (by hand, not by a time zone) times afresh.
        if (m.DownloadStart == 0 || in.now < m.DownloadStart) {
            downloadStartedNotice();
            m.DownloadStart = in.now;
            if (m.downloadSince == 0 || in.now < m.downloadSince)
                m.downloadSince = in.now;
            return;
        }
        const double elapsed = double(in.now - m.DownloadStart) / 1000.0;
        const qint32 allowed = qint32(in.alarmInterval) * 60;
        if (elapsed > allowed) {
            const LogKind was = kind;
            kind = LogKind::Alarm;
            log(QStringLiteral("Failed to download new work unit in time given.  Adjust alarm time to wait longer."));
            kind = was;
            r.playAlarm = true;
            m.DownloadStart = in.now;
        } else {
            log(QStringLiteral("Alarm time is ") + Conv::DoubleText(elapsed) + QStringLiteral(", Interval is ")
                + QString::number(allowed));
        }
    }

    void failed(const Fault &f)
    {
        r.failure = f.code;
        kind = LogKind::Failure; // but for the download watch's own texts
        MonitorFields &m = r.fields;
        const QString code = QString::number(f.code);
        const QString description = Failure::Description(f.code);
        switch (f.code) {
        case Failure::BadFileName:
            log(QStringLiteral("Can not access file '") + in.path + QStringLiteral("'") + CrLf
                + QStringLiteral("Drive may not be available, or incorrect path specified."));
            r.downloadCaption = QStringLiteral("Drive or file not be available...");
            m.downloadNoticeRed = true;
            r.downloadingVisible = true;
            break;
        case Failure::FileNotFound:
            log(in.name + CrLf + QStringLiteral("Seti Path: ") + in.path + CrLf + QStringLiteral("Error #: ") + code
                + CrLf + QStringLiteral("Description: ") + description);
            if (in.files.wtempExists()) {
                kind = LogKind::Reading;
                downloadWatch();
                kind = LogKind::Failure;
                r.downloadingVisible = true;
                m.DownloadPercent = downloadPercent();
                (void)setBar(m.DownloadPercent); // out of range: the bar keeps its value
                r.percentText = StatsInterpreter::PercentText(m.barPercent);
            } else {
                r.downloadingVisible = true;
                r.downloadCaption = QStringLiteral("Downloading not started...");
                log(QStringLiteral("Downloading not started."));
                m.downloadNoticeRed = true;
            }
            break;
        case Failure::PathNotFound:
            log(QStringLiteral("Path not found - Possible reasons include: computer may be") + CrLf
                + QStringLiteral("turned off, hard drive may have turned off due to") + CrLf
                + QStringLiteral("power management features, or path entered is incorrect."));
            r.downloadCaption = QStringLiteral("Path not found...");
            m.downloadNoticeRed = true;
            r.downloadingVisible = true;
            break;
        default:
            log(QStringLiteral("CPU: ") + in.name + CrLf + QStringLiteral("Seti Path: ") + in.path + CrLf
                + QStringLiteral("Error #: ") + code + CrLf + QStringLiteral("Description: ") + description);
            if (f.code == Failure::InvalidCall) {
                log(QStringLiteral("If the percent complete is less than 0.01, you will get error 5.") + CrLf
                    + QStringLiteral("This is because the Seti@Home client doesn't create the ") + CrLf
                    + QStringLiteral("state.txt file until it has done some processing."));
            }
            if (f.code == Failure::TooManyFiles)
                log(QStringLiteral("Possible reason is a disk defragmentation program is running."));
            break;
        }
        if (!f.detail.isEmpty())
            log(f.detail);
    }

    void log(const QString &text) { r.log.append({ text, kind }); }

    const UpdateInput &in;
    UpdateResult &r;
    LogKind kind = LogKind::Reading;
};

} // namespace

UpdateResult StatsInterpreter::Run(const UpdateInput &in)
{
    UpdateResult r;
    Update(in, r).run();
    return r;
}

QString StatsInterpreter::PercentText(float value)
{
    // Made once: building the system locale for every CPU of every cycle cost more than the reading.
    static const QLocale locale = [] {
        QLocale l = QLocale::system();
        l.setNumberOptions(QLocale::OmitGroupSeparator);
        return l;
    }();
    static const bool plainDigits = locale.zeroDigit() == QLatin1String("0");
    // A bar's percentage (0 to 100, no exponent) in a locale with the usual digits is printed
    // directly: the same text as the locale's, without its general path.
    if (plainDigits && ((value >= 0.0001f && value <= 100.0f) || value == 0.0f)) {
        char buffer[32];
        const int n = std::snprintf(buffer, sizeof buffer, "%.7g", double(value) + 0.0);
        QString text = QString::fromLatin1(buffer, n);
        text.replace(u'.', locale.decimalPoint());
        return text + u'%';
    }
    return locale.toString(double(value), 'g', 7) + u'%';
}

QStringList UpdateResult::texts() const
{
    QStringList out;
    out.reserve(log.size());
    for (const Line &l : log)
        out.append(l.text);
    return out;
}

UpdateClock UpdateClock::Now()
{
    static qint64 second = -1;
    static QString text;
    const qint64 ms = Clock::NowMs();
    if (ms / 1000 != second) {
        text = Clock::GeneralDate();
        second = ms / 1000;
    }
    return { ms, text };
}
