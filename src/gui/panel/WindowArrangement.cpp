#include "panel/WindowArrangement.h"

#include "log/frmMessages.h"
#include "monitor/frmSetiControl.h"
#include "panel/GridPlacement.h"
#include "settings/Schema.h"
#include "shared/Framework.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace WindowArrangement {

void Tile(QMdiArea *mdi, bool horizontal)
{
    QList<QMdiSubWindow *> subs;
    for (QMdiSubWindow *sub : mdi->subWindowList())
        if (sub->isVisible() && !sub->isMinimized())
            subs.append(sub);
    if (subs.isEmpty())
        return;
    const QRect area = mdi->viewport()->rect();
    const int n = int(subs.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow *sub = subs[i];
        if (sub->isMaximized())
            sub->showNormal();
        if (horizontal)
            sub->setGeometry(
                0, area.height() * i / n, area.width(), area.height() * (i + 1) / n - area.height() * i / n);
        else
            sub->setGeometry(area.width() * i / n, 0, area.width() * (i + 1) / n - area.width() * i / n, area.height());
    }
}

void ArrangeIcons(QMdiArea *mdi)
{
    const QRect area = mdi->viewport()->rect();
    int x = 0;
    int y = area.height();
    for (QMdiSubWindow *sub : mdi->subWindowList()) {
        if (!sub->isMinimized() || !sub->isVisible())
            continue;
        const QSize s = sub->size();
        if (x > 0 && x + s.width() > area.width()) {
            x = 0;
            y -= s.height();
        }
        sub->move(x, y - s.height());
        x += s.width();
    }
}

void TileAsGrid(QMdiArea *mdi)
{
    // One maximised child (the log too) would keep the area showing it alone.
    for (QMdiSubWindow *sub : mdi->subWindowList())
        if (sub->isMaximized())
            sub->showNormal();
    QList<QMdiSubWindow *> subs;
    QList<QSize> sizes;
    const QSize natural = Framework::TwipsToPixels(
        QRect(0, 0, Schema::DefaultSCWidthValue.toInt(), Schema::DefaultSCHeightValue.toInt()), mdi)
                              .size();
    for (QMdiSubWindow *sub : mdi->subWindowList()) {
        if (!qobject_cast<frmSetiControl *>(sub->widget()) || !sub->isVisible() || sub->isMinimized())
            continue;
        if (sub->isMaximized())
            sub->showNormal();
        subs.append(sub);
        sizes.append(natural.expandedTo(sub->minimumSizeHint()));
    }
    const QList<QRect> cells = GridPlacement::Tile(sizes, mdi->viewport()->width());
    int bottom = 0;
    for (int i = 0; i < subs.size(); ++i) {
        subs[i]->setGeometry(cells[i]);
        bottom = qMax(bottom, cells[i].bottom() + 1);
    }
    for (QMdiSubWindow *sub : mdi->subWindowList())
        if (qobject_cast<frmMessages *>(sub->widget()) && sub->isVisible() && !sub->isMinimized())
            sub->move(0, bottom);
}

void PlaceNew(QMdiArea *mdi, QWidget *window)
{
    QWidget *frame = Framework::FrameOf(window);
    if (frame == window || window->isMinimized() || window->isMaximized())
        return;
    QList<QRect> taken;
    for (QMdiSubWindow *sub : mdi->subWindowList()) {
        const auto *log = qobject_cast<frmMessages *>(sub->widget());
        // A log without a place of its own moves below the grid once the CPUs are loaded.
        if (sub != frame && sub->isVisible() && !sub->isMinimized() && !(log && !log->hasStoredPlace()))
            taken.append(sub->geometry());
    }
    frame->move(GridPlacement::FirstFree(frame->pos(), frame->size(), mdi->viewport()->width(), taken));
}

} // namespace WindowArrangement
