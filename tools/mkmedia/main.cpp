// Makes the program's own pictures and sounds from code, so nothing binary lives in the sources:
//   mkmedia <program-dir> <resource-dir>
// <program-dir> receives the five wave files and the application icons; <resource-dir> receives
// the pictures that are compiled into the program (logo and icons).

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int SampleRate = 22050;
constexpr double Pi = 3.14159265358979323846;

using Samples = std::vector<double>;

// A fixed generator keeps every build's files identical.
class Noise
{
public:
    explicit Noise(std::uint32_t seed)
        : m_state(seed)
    {
    }
    double next() // -1 .. 1
    {
        m_state = m_state * 1664525u + 1013904223u;
        return double(m_state >> 8) / double(1u << 23) - 1.0;
    }
    double unit() { return (next() + 1.0) / 2.0; } // 0 .. 1

private:
    std::uint32_t m_state;
};

int count(double seconds)
{
    return int(std::lround(seconds * SampleRate));
}

// Short linear fades at both ends stop clicks.
double edgeFade(int i, int n, double fadeSeconds)
{
    const int f = std::max(1, count(fadeSeconds));
    return std::min({ 1.0, double(i) / f, double(n - 1 - i) / f });
}

void mixAt(Samples &out, double startSeconds, const Samples &part)
{
    const size_t start = size_t(count(startSeconds));
    if (out.size() < start + part.size())
        out.resize(start + part.size(), 0.0);
    for (size_t i = 0; i < part.size(); ++i)
        out[start + i] += part[i];
}

// A tone with the given partials (amplitude of harmonic k at index k-1), its pitch gliding
// from f0 to f1, with optional vibrato.
Samples glide(double seconds, double f0, double f1, const std::vector<double> &partials, double vibratoHz = 0,
    double vibratoDepth = 0)
{
    const int n = count(seconds);
    Samples s(size_t(n), 0.0);
    double phase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / n;
        double f = f0 * std::pow(f1 / f0, t);
        if (vibratoHz > 0)
            f *= 1.0 + vibratoDepth * std::sin(2 * Pi * vibratoHz * i / SampleRate);
        phase += 2 * Pi * f / SampleRate;
        double v = 0;
        for (size_t k = 0; k < partials.size(); ++k)
            v += partials[k] * std::sin(phase * double(k + 1));
        s[size_t(i)] = v;
    }
    return s;
}

void normalise(Samples &s, double peak)
{
    double m = 0;
    for (double v : s)
        m = std::max(m, std::abs(v));
    if (m > 0)
        for (double &v : s)
            v *= peak / m;
}

// Two alternating pitches, four times a second: the download alarm.
Samples alarmSound()
{
    Samples out;
    const std::vector<double> clear { 1.0, 0.0, 0.3, 0.0, 0.12 };
    for (int k = 0; k < 4; ++k) {
        const double f = (k % 2 == 0) ? 960.0 : 720.0;
        Samples part = glide(0.25, f, f, clear);
        for (size_t i = 0; i < part.size(); ++i)
            part[i] *= edgeFade(int(i), int(part.size()), 0.008);
        mixAt(out, 0.25 * k, part);
    }
    normalise(out, 0.8);
    return out;
}

// Two sagging notes: disappointment.
Samples dratSound()
{
    Samples out;
    const std::vector<double> brass { 1.0, 0.6, 0.45, 0.3, 0.2, 0.12 };
    struct Note
    {
        double at, length, from, to;
    };
    for (const Note &n : { Note { 0.0, 0.28, 392.0, 370.0 }, Note { 0.30, 0.50, 330.0, 262.0 } }) {
        Samples part = glide(n.length, n.from, n.to, brass, 5.5, 0.012);
        const int len = int(part.size());
        for (int i = 0; i < len; ++i) {
            const double t = double(i) / len;
            part[size_t(i)] *= edgeFade(i, len, 0.02) * (1.0 - 0.5 * t);
        }
        mixAt(out, n.at, part);
    }
    normalise(out, 0.8);
    return out;
}

// A thud and a rumble of darkening noise with a few crackles.
Samples kabomSound()
{
    const double seconds = 1.4;
    const int n = count(seconds);
    Samples out(size_t(n), 0.0);
    Noise noise(0x6b61626fu);
    double low = 0;
    double boomPhase = 0;
    for (int i = 0; i < n; ++i) {
        const double t = double(i) / SampleRate;
        const double attack = std::min(1.0, t / 0.004);
        // The cut-off falls from bright to dull as the blast dies away.
        const double cutoff = 3000.0 * std::exp(-t / 0.25) + 120.0;
        const double a = 1.0 - std::exp(-2 * Pi * cutoff / SampleRate);
        low += a * (noise.next() - low);
        const double rumble = low * std::exp(-t / 0.38) * 2.2;
        boomPhase += 2 * Pi * (35.0 + 70.0 * std::exp(-t / 0.15)) / SampleRate;
        const double boom = std::sin(boomPhase) * std::exp(-t / 0.35);
        double crackle = 0;
        if (t < 0.6 && noise.unit() < 0.002)
            crackle = noise.next() * std::exp(-t / 0.3);
        const double v = attack * (rumble + 0.9 * boom) + crackle;
        out[size_t(i)] = std::tanh(1.6 * v) * edgeFade(i, n, 0.05);
    }
    normalise(out, 0.85);
    return out;
}

// A rising arpeggio of bells: cleverness.
Samples smartSound()
{
    Samples out;
    const std::vector<double> bell { 1.0, 0.0, 0.25, 0.0, 0.08 };
    const double notes[] = { 1047.0, 1319.0, 1568.0, 2093.0 };
    for (int k = 0; k < 4; ++k) {
        const double length = k == 3 ? 0.45 : 0.3;
        Samples part = glide(length, notes[k], notes[k], bell);
        const int len = int(part.size());
        for (int i = 0; i < len; ++i)
            part[size_t(i)] *= std::exp(-double(i) / SampleRate / 0.09) * edgeFade(i, len, 0.004);
        mixAt(out, 0.1 * k, part);
    }
    normalise(out, 0.75);
    return out;
}

// Three falling "doh"s: a voiced tone whose harmonics follow the formants of an "oh".
Samples dohsSound()
{
    Samples out;
    const double pitches[] = { 200.0, 170.0, 140.0 };
    for (int k = 0; k < 3; ++k) {
        const double f0 = pitches[k];
        std::vector<double> partials;
        for (int h = 1; h * f0 < 4000; ++h) {
            const double f = h * f0;
            const double formants = std::exp(-std::pow((f - 500) / 120, 2))
                + 0.6 * std::exp(-std::pow((f - 880) / 150, 2)) + 0.1 * std::exp(-std::pow((f - 2400) / 300, 2));
            partials.push_back(0.05 / h + formants);
        }
        Samples part = glide(0.24, f0 * 1.08, f0 * 0.85, partials, 6.0, 0.01);
        const int len = int(part.size());
        for (int i = 0; i < len; ++i)
            part[size_t(i)] *= edgeFade(i, len, 0.03);
        mixAt(out, 0.27 * k, part);
    }
    normalise(out, 0.75);
    return out;
}

bool writeWave(const QString &path, const Samples &samples)
{
    QByteArray data;
    data.reserve(int(samples.size() * 2));
    for (double v : samples) {
        const auto s = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
        data.append(char(s & 0xff));
        data.append(char((s >> 8) & 0xff));
    }
    auto le32 = [](QByteArray &b, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b.append(char((v >> (8 * i)) & 0xff));
    };
    auto le16 = [](QByteArray &b, std::uint16_t v) {
        b.append(char(v & 0xff));
        b.append(char((v >> 8) & 0xff));
    };
    QByteArray file("RIFF");
    le32(file, std::uint32_t(36 + data.size()));
    file.append("WAVEfmt ");
    le32(file, 16);
    le16(file, 1); // PCM
    le16(file, 1); // mono
    le32(file, SampleRate);
    le32(file, SampleRate * 2); // bytes per second
    le16(file, 2); // block align
    le16(file, 16); // bits per sample
    file.append("data");
    le32(file, std::uint32_t(data.size()));
    file.append(data);

    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(file) != file.size() || !f.flush()) {
        std::fprintf(stderr, "mkmedia: cannot write %s\n", qUtf8Printable(path));
        return false;
    }
    return true;
}

// A radio dish on its stand, looking up to the right, drawn in a 100 x 100 box.
void drawDish(QPainter &p, const QColor &dish, const QColor &stand)
{
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(stand);
    QPainterPath base;
    base.moveTo(36, 62);
    base.lineTo(48, 62);
    base.lineTo(58, 92);
    base.lineTo(26, 92);
    base.closeSubpath();
    p.drawPath(base);
    p.drawRoundedRect(QRectF(18, 90, 48, 6), 2, 2);

    p.translate(42, 52);
    p.rotate(35);
    QPainterPath bowl;
    bowl.moveTo(-34, 0);
    bowl.cubicTo(-30, 26, 30, 26, 34, 0);
    bowl.closeSubpath();
    p.setBrush(dish);
    p.drawPath(bowl);
    QPen arm(dish, 3.0, Qt::SolidLine, Qt::RoundCap);
    p.setPen(arm);
    p.drawLine(QPointF(-20, 4), QPointF(0, -26));
    p.drawLine(QPointF(20, 4), QPointF(0, -26));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(0, -27), 4.5, 4.5);
    p.restore();
}

// Arcs of an incoming signal, centred near the dish's feed.
void drawWaves(QPainter &p, const QPointF &centre, const QColor &colour, double width, int rings, double gap)
{
    p.save();
    p.setBrush(Qt::NoBrush);
    for (int k = 1; k <= rings; ++k) {
        QColor c = colour;
        c.setAlphaF(float(1.0 - 0.22 * (k - 1)));
        p.setPen(QPen(c, width, Qt::SolidLine, Qt::RoundCap));
        const double r = gap * k;
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 5 * 16, 70 * 16);
    }
    p.restore();
}

QImage logo()
{
    QImage img(200, 143, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 143);
    sky.setColorAt(0.0, QColor(0x08, 0x10, 0x2c));
    sky.setColorAt(0.7, QColor(0x17, 0x35, 0x6e));
    sky.setColorAt(1.0, QColor(0x2a, 0x5a, 0x9c));
    p.fillRect(img.rect(), sky);

    Noise stars(0x7374u);
    for (int i = 0; i < 70; ++i) {
        const QPointF at(stars.unit() * 200, stars.unit() * 100);
        QColor c(255, 255, 255);
        c.setAlphaF(float(0.3 + 0.7 * stars.unit()));
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawEllipse(at, 0.5 + stars.unit() * 0.8, 0.5 + stars.unit() * 0.8);
    }

    // A faint glow where the signal comes from.
    QRadialGradient glow(QPointF(172, 22), 40);
    glow.setColorAt(0, QColor(255, 230, 140, 150));
    glow.setColorAt(1, QColor(255, 230, 140, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(172, 22), 40, 40);

    // The hill the dish stands on.
    QPainterPath hill;
    hill.moveTo(0, 143);
    hill.lineTo(0, 128);
    hill.cubicTo(40, 116, 90, 120, 130, 130);
    hill.cubicTo(160, 136, 185, 134, 200, 130);
    hill.lineTo(200, 143);
    hill.closeSubpath();
    p.setBrush(QColor(0x0a, 0x1a, 0x14));
    p.drawPath(hill);

    p.save();
    p.translate(4, 28);
    drawDish(p, QColor(0xe8, 0xee, 0xf6), QColor(0x9a, 0xa8, 0xbc));
    p.restore();
    drawWaves(p, QPointF(64, 56), QColor(0xff, 0xd8, 0x6a), 2.2, 4, 11);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(34);
    p.setFont(font);
    const QRectF title(84, 70, 112, 44);
    p.setPen(QColor(0, 0, 0, 140));
    p.drawText(title.translated(2, 2), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Tavrik"));
    p.setPen(QColor(0xff, 0xf4, 0xd6));
    p.drawText(title, Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Tavrik"));
    return img;
}

QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 100.0, size / 100.0);
    QLinearGradient bg(0, 0, 0, 100);
    bg.setColorAt(0, QColor(0x1b, 0x3a, 0x78));
    bg.setColorAt(1, QColor(0x0b, 0x18, 0x38));
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(2, 2, 96, 96), 18, 18);
    drawDish(p, QColor(0xf2, 0xf5, 0xfa), QColor(0xa8, 0xb4, 0xc8));
    drawWaves(p, QPointF(58, 35), QColor(0xff, 0xd0, 0x50), 5.0, 3, 10);
    return img;
}

bool savePng(const QImage &img, const QString &path)
{
    if (img.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "mkmedia: cannot write %s\n", qUtf8Printable(path));
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    // Text in the logo needs the font machinery, which needs a GUI application; nothing is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: mkmedia <program-dir> <resource-dir>\n");
        return 2;
    }
    const QDir program(QString::fromLocal8Bit(argv[1]));
    const QDir resources(QString::fromLocal8Bit(argv[2]));
    if (!QDir().mkpath(program.path()) || !QDir().mkpath(resources.path())) {
        std::fprintf(stderr, "mkmedia: cannot create the output folders\n");
        return 1;
    }

    bool ok = writeWave(program.filePath(QStringLiteral("log.wav")), alarmSound());
    ok = writeWave(program.filePath(QStringLiteral("Drat.wav")), dratSound()) && ok;
    ok = writeWave(program.filePath(QStringLiteral("Kabom.wav")), kabomSound()) && ok;
    ok = writeWave(program.filePath(QStringLiteral("Smart.wav")), smartSound()) && ok;
    ok = writeWave(program.filePath(QStringLiteral("32dohs.wav")), dohsSound()) && ok;

    // Every size the desktop's icon theme asks for, each drawn at its own size.
    for (const int size : { 16, 32, 48, 64, 128, 256 })
        ok = savePng(icon(size), resources.filePath(QStringLiteral("tavrik-%1.png").arg(size))) && ok;
    ok = savePng(icon(256), program.filePath(QStringLiteral("tavrik.png"))) && ok;
    ok = savePng(logo(), resources.filePath(QStringLiteral("logo.png"))) && ok;
    return ok ? 0 : 1;
}
