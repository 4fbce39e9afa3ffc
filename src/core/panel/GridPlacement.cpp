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

} // namespace GridPlacement
