#pragma once

#include "monitor/CpuStatus.h"

#include <QColor>
#include <QIcon>
#include <QPalette>

// Colours that stay readable on the palette in use: each text colour keeps a contrast ratio of at
// least 4.5:1 (relative luminance as the web's accessibility guidelines define it) against the
// background it is drawn on.
namespace StateColours {

constexpr double MinimumContrast = 4.5;

double Luminance(const QColor &c);
double Contrast(const QColor &a, const QColor &b);
// wanted itself when it is readable on background; else wanted moved toward white (on a dark
// background) or black (on a light one) until it is, so its hue stays.
QColor Readable(const QColor &wanted, const QColor &background);

struct Set
{
    QColor moving; // percentage while the client makes progress: blue, or the palette's link colour
    QColor stalled; // percentage when it does not move, and failure notices: red
    QColor text; // the download panel's progress notices
};
// For text on the palette's window background.
Set For(const QPalette &palette);

// Text colour of a state on the palette's base (the overview's rows).
QColor ForState(CpuState state, const QPalette &palette);
// The state's own colour, to fill with: the tray's disc, the ticker's background.
QColor Fill(CpuState state);
// A filled disc in the state's colour: the overview's rows and the tray.
QIcon Icon(CpuState state);

} // namespace StateColours
