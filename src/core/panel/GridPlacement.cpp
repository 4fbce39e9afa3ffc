#include "panel/GridPlacement.h"

namespace GridPlacement {

namespace {

    int perRow(const QPoint &origin, const QSize &cell, int width)
    {
        return cell.width() > 0 ? qMax(1, (width - origin.x()) / cell.width()) : 1;
    }

} // namespace

QPoint Cell(int i, const QPoint &origin, const QSize &cell, int width)
{
    const int n = perRow(origin, cell, width);
    return origin + QPoint((i % n) * cell.width(), (i / n) * cell.height());
}

QPoint FirstFree(const QPoint &origin, const QSize &cell, int width, const QList<QRect> &taken)
{
    if (cell.isEmpty())
        return origin;
    // The rows below the lowest taken rectangle are free, so the search ends.
    for (int i = 0;; ++i) {
        const QRect r(Cell(i, origin, cell, width), cell);
        bool free = true;
        for (const QRect &t : taken)
            free = free && !r.intersects(t);
        if (free)
            return r.topLeft();
    }
}

QList<QRect> Tile(const QList<QSize> &sizes, int width)
{
    QSize cell(1, 1);
    for (const QSize &s : sizes)
        cell = cell.expandedTo(s);
    QList<QRect> out;
    for (int i = 0; i < sizes.size(); ++i)
        out.append(QRect(Cell(i, QPoint(0, 0), cell, width), sizes[i]));
    return out;
}

QRect BelowGrid(const QList<QRect> &windows, const QSize &visible, int minHeight)
{
    QRect grid;
    for (const QRect &w : windows)
        grid = grid.united(w);
    const int width = grid.isNull() ? visible.width() : qMin(grid.right() + 1, qMax(visible.width(), 1));
    int top = grid.isNull() ? 0 : grid.bottom() + 1;
    if (top + minHeight > visible.height())
        top = qMax(0, visible.height() - minHeight);
    return QRect(0, top, qMax(width, 1), qMax(minHeight, visible.height() - top));
}

QRect FitInside(const QRect &r, const QRect &area)
{
    if (area.width() <= 0)
        return r;
    const bool scrolls = area.height() <= 0;
    QRect out(r.topLeft(), r.size().boundedTo(QSize(area.width(), scrolls ? r.height() : area.height())));
    out.moveLeft(qBound(area.left(), out.left(), area.left() + area.width() - out.width()));
    out.moveTop(scrolls ? qMax(area.top(), out.top())
                        : qBound(area.top(), out.top(), area.top() + area.height() - out.height()));
    return out;
}

} // namespace GridPlacement
