#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where CPU windows go so that none covers another: cells of one window's size, row by row from
// an origin, as many to a row as the width holds (at least one).
namespace GridPlacement {

// The top-left corner of cell i.
QPoint Cell(int i, const QPoint &origin, const QSize &cell, int width);

// The first cell that overlaps none of the taken rectangles.
QPoint FirstFree(const QPoint &origin, const QSize &cell, int width, const QList<QRect> &taken);

// n cells for "Tile as Grid": each window keeps its own size, the cell is the largest of them.
QList<QRect> Tile(const QList<QSize> &sizes, int width);

// The log's place when it has none of its own: in the first free band below the windows, as wide
// as their grid (the whole width without windows) and filling the visible height, but at least
// minHeight high; at the foot of the visible area when the grid fills it.
QRect BelowGrid(const QList<QRect> &windows, const QSize &visible, int minHeight);

// r moved, and shrunk where it is larger, so that it lies wholly inside area. An area of height 0
// binds only the width and the top: a scrolling area that grows downwards.
QRect FitInside(const QRect &r, const QRect &area);

} // namespace GridPlacement
