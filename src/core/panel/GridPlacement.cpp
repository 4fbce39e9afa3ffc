#include "panel/GridPlacement.h"

#include <vector>

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
    // Marks the cells each taken rectangle overlaps: linear in the windows, where testing every
    // cell against every window made a thousand windows take seconds to place.
    const int n = perRow(origin, cell, width);
    auto floorDiv = [](qint64 a, qint64 b) { return a >= 0 ? a / b : -((-a + b - 1) / b); };
    std::vector<char> used;
    for (const QRect &t : taken) {
        if (t.isEmpty())
            continue;
        const qint64 colLo = qMax<qint64>(0, floorDiv(qint64(t.left()) - origin.x(), cell.width()));
        const qint64 colHi = qMin<qint64>(n - 1, floorDiv(qint64(t.right()) - origin.x(), cell.width()));
        const qint64 rowLo = qMax<qint64>(0, floorDiv(qint64(t.top()) - origin.y(), cell.height()));
        const qint64 rowHi = floorDiv(qint64(t.bottom()) - origin.y(), cell.height());
        // A rectangle of absurd height would mark rows no search reaches.
        const qint64 lastRow = qMin<qint64>(rowHi, rowLo + 4096);
        for (qint64 row = rowLo; row <= lastRow; ++row) {
            for (qint64 col = colLo; col <= colHi; ++col) {
                const size_t i = size_t(row * n + col);
                if (i >= used.size())
                    used.resize(i + 1, 0);
                used[i] = 1;
            }
        }
    }
    size_t i = 0;
    while (i < used.size() && used[i])
        ++i;
    return Cell(int(i), origin, cell, width);
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
