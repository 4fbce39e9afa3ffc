#pragma once

#include "shared/Framework.h"

#include <QWidget>

// Places the dialogs' controls where their forms were designed, in twips.
namespace DialogLayout {

inline void Place(QWidget *control, int left, int top, int width, int height)
{
    control->setGeometry(Framework::TwipsToPixels(QRect(left, top, width, height), control->window()));
}

inline QSize ClientSize(const QWidget *window, int width, int height)
{
    return QSize(Framework::TwipsToPixelsX(width, window), Framework::TwipsToPixelsY(height, window));
}

inline QFont TahomaFont()
{
    return Framework::NamedFont(QStringLiteral("Tahoma"),
        { QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Arial"),
            QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans") },
        11.25);
}

// Centres a top-level window on the screen it is on (the primary screen before it is shown).
void CentreOnScreen(QWidget *window);

} // namespace DialogLayout
