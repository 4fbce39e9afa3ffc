#include "shared/Framework.h"

#include "panel/GridPlacement.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Framework {

namespace {

    constexpr const char *TagProperty = "Tag";

    int dpiX(const QWidget *w)
    {
        if (w)
            return w->logicalDpiX();
        const QScreen *s = QGuiApplication::primaryScreen();
        return s ? int(std::lround(s->logicalDotsPerInchX())) : 96;
    }

    int dpiY(const QWidget *w)
    {
        if (w)
            return w->logicalDpiY();
        const QScreen *s = QGuiApplication::primaryScreen();
        return s ? int(std::lround(s->logicalDotsPerInchY())) : 96;
    }

    int scale(int value, int num, int den)
    {
        if (den <= 0 || num <= 0)
            return value;
        // A hand-edited size in twips can be anything a 32-bit integer holds: saturate, never wrap.
        const double scaled = std::round(double(value) * num / den);
        return int(
            std::clamp(scaled, double(std::numeric_limits<int>::min()), double(std::numeric_limits<int>::max())));
    }

    QList<QPointer<QWidget>> &registry()
    {
        static QList<QPointer<QWidget>> r;
        return r;
    }

} // namespace

int TwipsToPixelsX(int twips, const QWidget *w)
{
    return scale(twips, dpiX(w), TwipsPerInch);
}
int TwipsToPixelsY(int twips, const QWidget *w)
{
    return scale(twips, dpiY(w), TwipsPerInch);
}
int PixelsToTwipsX(int pixels, const QWidget *w)
{
    return scale(pixels, TwipsPerInch, dpiX(w));
}
int PixelsToTwipsY(int pixels, const QWidget *w)
{
    return scale(pixels, TwipsPerInch, dpiY(w));
}

QRect TwipsToPixels(const QRect &t, const QWidget *w)
{
    return QRect(TwipsToPixelsX(t.left(), w), TwipsToPixelsY(t.top(), w), TwipsToPixelsX(t.width(), w),
        TwipsToPixelsY(t.height(), w));
}

QRect PixelsToTwips(const QRect &p, const QWidget *w)
{
    return QRect(PixelsToTwipsX(p.left(), w), PixelsToTwipsY(p.top(), w), PixelsToTwipsX(p.width(), w),
        PixelsToTwipsY(p.height(), w));
}

QWidget *FrameOf(QWidget *w)
{
    if (w)
        if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
            return sub;
    return w;
}

const QWidget *FrameOf(const QWidget *w)
{
    return FrameOf(const_cast<QWidget *>(w));
}

namespace {

    // A stored place that had to be brought inside the screen, and the place it was given: until the
    // window leaves that place, the stored one is what is saved again.
    constexpr const char *StoredTwipsProperty = "tavrikStoredTwips";
    constexpr const char *FittedProperty = "tavrikFittedPlace";

} // namespace

QRect GeometryTwips(const QWidget *w)
{
    const QWidget *f = FrameOf(w);
    if (!f)
        return QRect();
    const QRect place(f->pos(), f->size());
    if (f->property(FittedProperty).toRect() == place && f->property(StoredTwipsProperty).isValid())
        return f->property(StoredTwipsProperty).toRect();
    return PixelsToTwips(place, f);
}

namespace {

    // Where a window must lie to be seen: the available part of its screen, or the width of its MDI
    // area, which scrolls down. Empty where that is not known yet.
    QRect AreaFor(const QWidget *f, const QRect &px)
    {
        if (auto *sub = qobject_cast<const QMdiSubWindow *>(f)) {
            const QMdiArea *mdi = sub->mdiArea();
            return mdi && mdi->viewport()->isVisible() ? QRect(0, 0, mdi->viewport()->width(), 0) : QRect();
        }
        if (!f->isWindow())
            return QRect();
        const QScreen *s = QGuiApplication::screenAt(px.center());
        if (!s)
            s = f->screen() ? f->screen() : QGuiApplication::primaryScreen();
        return s ? s->availableGeometry() : QRect();
    }

} // namespace

void SetGeometryTwips(QWidget *w, const QRect &twips)
{
    QWidget *f = FrameOf(w);
    if (!f)
        return;
    // A place stored on a bigger screen, or at another scale, is brought back where it can be seen;
    // the store keeps it until the window is moved.
    const QRect px = TwipsToPixels(twips, f);
    const QSize frame = f->isWindow() && f->isVisible() ? f->frameGeometry().size() - f->size() : QSize(0, 0);
    const QRect outer = GridPlacement::FitInside(QRect(px.topLeft(), px.size() + frame), AreaFor(f, px));
    f->move(outer.topLeft());
    f->resize(outer.size() - frame);
    const bool fitted = outer != QRect(px.topLeft(), px.size() + frame);
    f->setProperty(StoredTwipsProperty, fitted ? QVariant(twips) : QVariant());
    f->setProperty(FittedProperty, fitted ? QVariant(QRect(f->pos(), f->size())) : QVariant());
}

int WindowStateCode(const QWidget *w)
{
    const QWidget *f = FrameOf(w);
    if (!f)
        return 0;
    if (f->windowState() & Qt::WindowMinimized)
        return 1;
    if (f->windowState() & Qt::WindowMaximized)
        return 2;
    return 0;
}

void SetWindowStateCode(QWidget *w, int code)
{
    QWidget *f = FrameOf(w);
    if (!f)
        return;
    Qt::WindowStates state = f->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (code == 1)
        state |= Qt::WindowMinimized;
    else if (code == 2)
        state |= Qt::WindowMaximized;
    if (auto *sub = qobject_cast<QMdiSubWindow *>(f)) {
        // The sub-window's own show calls keep the MDI area's bookkeeping right.
        if (code == 1)
            sub->showMinimized();
        else if (code == 2)
            sub->showMaximized();
        else if (sub->isMinimized() || sub->isMaximized())
            sub->showNormal();
        return;
    }
    f->setWindowState(state);
}

void RegisterWindow(QWidget *w)
{
    if (!w || registry().contains(w))
        return;
    registry().append(w);
}

void UnregisterWindow(QWidget *w)
{
    registry().removeAll(w);
}

QList<QWidget *> LoadedWindows()
{
    QList<QWidget *> out;
    auto &r = registry();
    r.removeIf([](const QPointer<QWidget> &p) { return p.isNull(); });
    out.reserve(r.size());
    for (const auto &p : r)
        out.append(p.data());
    return out;
}

QFont NamedFont(const QString &family, const QStringList &similar, qreal points)
{
    QFont f(family);
    f.setFamilies(QStringList { family } + similar);
    f.setPointSizeF(points);
    return f;
}

QFont FormFont()
{
    return NamedFont(QStringLiteral("MS Sans Serif"),
        { QStringLiteral("Microsoft Sans Serif"), QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
            QStringLiteral("Nimbus Sans") },
        8.25);
}

QString Tag(const QWidget *w)
{
    return w ? w->property(TagProperty).toString() : QString();
}

void SetTag(QWidget *w, const QString &tag)
{
    if (w)
        w->setProperty(TagProperty, tag);
}

bool IsPopupMenuKey(const QKeyEvent *e)
{
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    return (e->key() == Qt::Key_Menu && mods == Qt::NoModifier)
        || (e->key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
}

} // namespace Framework
