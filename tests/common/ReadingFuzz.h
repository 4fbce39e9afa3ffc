#pragma once

#include "monitor/StatsInterpreter.h"
#include "settings/Conv.h"

#include <array>
#include <cstring>
#include <iterator>
#include <random>

// Hostile but plausible inputs: client texts cut short, keys in any case, values of every shape,
// raw bytes, failures of every kind, and window fields no sane run would leave behind.
class InputMaker
{
public:
    explicit InputMaker(unsigned seed = 20261206)
        : m_rng(seed)
    {
    }

    int pick(int n) { return int(m_rng() % quint32(n)); }

    UpdateInput next()
    {
        UpdateInput in;
        in.name = QStringLiteral("Fuzz");
        in.date = QStringLiteral("D");
        in.files.state = clientFile({ "prog=", "cpu=" });
        in.files.user = clientFile({ "nwus=", "nresults=", "total_cpu=" });
        const qint64 lengths[] = { 0, 360447, 360448, 360449, qint64(m_rng()) * 1000, pick(400000) };
        in.files.wtempError = pick(6) == 0 ? code() : 0;
        in.files.wtempLength = lengths[pick(6)];
        for (float *f :
            { &in.fields.Percent, &in.fields.LastPercent, &in.fields.DownloadPercent, &in.fields.barPercent })
            *f = anyFloat();
        in.fields.DownloadStart = pick(3) == 0 ? 0 : qint64(m_rng()) * 1000;
        in.fields.downloadSince = pick(2) == 0 ? 0 : in.fields.DownloadStart;
        in.fields.downloadNoticeRed = pick(2) == 0;
        in.alarmInterval = qint16(m_rng());
        in.now = pick(8) == 0 ? bits<qint64>() : qint64(m_rng()) * 1000 + pick(1000);
        in.shownDownloaded = Conv::Val(value());
        in.shownUploaded = Conv::Val(value());
        return in;
    }

private:
    int code() { return std::array { 5, 7, 52, 53, 67, 70, 75, 76, 999 }[size_t(pick(9))]; }

    template <typename T> T bits()
    {
        const quint64 b = (quint64(m_rng()) << 32) | m_rng();
        T t;
        std::memcpy(&t, &b, sizeof t);
        return t;
    }

    float anyFloat()
    {
        switch (pick(4)) {
        case 0:
            return float(pick(101));
        case 1:
            return 100.0f;
        case 2:
            return float(pick(40000) - 20000) / 100.0f;
        default:
            return bits<float>();
        }
    }

    QString value()
    {
        static const char *shapes[] = { "0", "-0", "1.0", "100", "1e39", "1e-45", "1e400", "nan", "inf", "", " ",
            " 12 ", "12abc", "0x10", "1,5", "+.5", ".", "-", "99999999999999999999", "3600\r", "0.999990", "1.000001" };
        switch (pick(10)) {
        case 0:
            return QString::number(double(m_rng()) / double(1 + pick(1000)), 'g', 1 + pick(17));
        case 1:
        case 2:
        case 3:
            return QString::number(double(pick(1100001)) / 1e6, 'f', 6);
        case 4:
        case 5:
            return QString::number(pick(100000));
        default:
            return QString::fromLatin1(shapes[pick(int(std::size(shapes)))]);
        }
    }

    ClientFile clientFile(std::initializer_list<const char *> keys)
    {
        ClientFile f;
        const int kind = pick(16);
        if (kind == 0) {
            f.error = code();
            return f;
        }
        if (kind == 1) {
            QByteArray raw(pick(300), Qt::Uninitialized);
            for (char &b : raw)
                b = char(m_rng());
            f.text = QString::fromLatin1(raw);
            return f;
        }
        const QString eol = pick(2) == 0 ? QStringLiteral("\n") : QStringLiteral("\r\n");
        QString text = QStringLiteral("id=1") + eol;
        for (const char *k : keys) {
            QString key = QString::fromLatin1(k);
            for (QChar &c : key)
                c = pick(2) == 0 ? c.toUpper() : c;
            if (pick(20) == 0)
                key.remove(pick(int(key.size())), 1);
            if (pick(12) != 0)
                text += key + value() + eol;
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
