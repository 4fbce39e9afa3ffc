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

} // namespace GridPlacement
