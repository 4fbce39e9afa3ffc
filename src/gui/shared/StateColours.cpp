#include "shared/StateColours.h"

#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace StateColours {

namespace {

    double channel(double v)
    {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    }

    QColor mix(const QColor &a, const QColor &b, double t)
    {
        auto m = [t](int x, int y) { return int(std::lround(x + (y - x) * t)); };
        return QColor(m(a.red(), b.red()), m(a.green(), b.green()), m(a.blue(), b.blue()));
    }

} // namespace

double Luminance(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

double Contrast(const QColor &a, const QColor &b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
}

QColor Readable(const QColor &wanted, const QColor &background)
{
    if (Contrast(wanted, background) >= MinimumContrast)
        return wanted;
    // Toward whichever end of the scale is farther from the background.
    const QColor end = Contrast(Qt::white, background) > Contrast(Qt::black, background) ? Qt::white : Qt::black;
    for (int step = 1; step <= 20; ++step) {
        const QColor c = mix(wanted, end, step / 20.0);
        if (Contrast(c, background) >= MinimumContrast)
            return c;
    }
    return end;
}

Set For(const QPalette &palette)
{
    const QColor back = palette.color(QPalette::Window);
    Set s;
    const QColor blue(0, 0, 255);
    s.moving = Contrast(blue, back) >= MinimumContrast ? blue : Readable(palette.color(QPalette::Link), back);
    s.stalled = Readable(QColor(255, 0, 0), back);
    s.text = Readable(palette.color(QPalette::WindowText), back);
    return s;
}

QColor ForState(CpuState state, const QPalette &palette)
{
    const QColor back = palette.color(QPalette::Base);
    switch (state) {
    case CpuState::Working:
        return Readable(palette.color(QPalette::Text), back);
    case CpuState::Downloading:
        return Readable(palette.color(QPalette::Link), back);
    case CpuState::Slow:
        return Readable(QColor(170, 140, 0), back);
    case CpuState::Stalled:
        return Readable(QColor(230, 120, 0), back);
    case CpuState::DownloadLate:
    case CpuState::Unreachable:
    case CpuState::Failed:
        return Readable(QColor(255, 0, 0), back);
    case CpuState::Unknown:
        break;
    }
    return Readable(palette.color(QPalette::PlaceholderText), back);
}

QColor Fill(CpuState state)
{
    switch (state) {
    case CpuState::Working:
        return QColor(40, 170, 60);
    case CpuState::Downloading:
        return QColor(40, 110, 230);
    case CpuState::Slow:
        return QColor(225, 200, 40);
    case CpuState::Stalled:
        return QColor(240, 160, 0);
    case CpuState::DownloadLate:
    case CpuState::Unreachable:
    case CpuState::Failed:
        return QColor(220, 30, 30);
    case CpuState::Unknown:
        break;
    }
    return QColor(150, 150, 150);
}

QIcon Icon(CpuState state)
{
    const QColor fill = Fill(state);
    QIcon icon;
    for (int size : { 16, 22, 32, 64 }) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(fill.darker(170), qMax(1.0, size / 16.0)));
        p.setBrush(fill);
        const double m = size / 8.0;
        p.drawEllipse(QRectF(m, m, size - 2 * m, size - 2 * m));
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace StateColours
