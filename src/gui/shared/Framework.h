#pragma once

#include <QFont>
#include <QList>
#include <QRect>
#include <QString>

class QKeyEvent;

class QWidget;

// The little the windows need beyond Qt itself: twips, window-state codes, the list of loaded
// windows in load order, and the tag that marks CPU windows.
namespace Framework {

constexpr int TwipsPerInch = 1440;

// Conversions use the logical DPI of the widget's screen (the primary screen without a widget).
int TwipsToPixelsX(int twips, const QWidget *w = nullptr);
int TwipsToPixelsY(int twips, const QWidget *w = nullptr);
int PixelsToTwipsX(int pixels, const QWidget *w = nullptr);
int PixelsToTwipsY(int pixels, const QWidget *w = nullptr);
QRect TwipsToPixels(const QRect &twips, const QWidget *w = nullptr);
QRect PixelsToTwips(const QRect &pixels, const QWidget *w = nullptr);

// The widget that carries a window's frame: its MDI sub-window when it has one, else itself.
QWidget *FrameOf(QWidget *w);
const QWidget *FrameOf(const QWidget *w);

// Position (outer top-left) and size of a window, in twips, through its frame.
QRect GeometryTwips(const QWidget *w);
void SetGeometryTwips(QWidget *w, const QRect &twips);

// 0 normal, 1 minimised, 2 maximised.
int WindowStateCode(const QWidget *w);
void SetWindowStateCode(QWidget *w, int code);

// Windows register when they load; they leave the list when destroyed or unregistered.
void RegisterWindow(QWidget *w);
void UnregisterWindow(QWidget *w);
QList<QWidget *> LoadedWindows();

// The forms were laid out for these fonts. Where a family is missing, families of about the same
// width come first, so texts still fit their places; the font system's own choice comes last.
QFont NamedFont(const QString &family, const QStringList &similar, qreal points);
QFont FormFont(); // "MS Sans Serif" 8.25 pt, the forms' own font

inline const QString CpuWindowTag = QStringLiteral("-1");
QString Tag(const QWidget *w);
void SetTag(QWidget *w, const QString &tag);

// The keys that open a pop-up menu from the keyboard: the Menu key and Shift+F10.
bool IsPopupMenuKey(const QKeyEvent *e);

} // namespace Framework
