#pragma once

class QMdiArea;
class QWidget;

// The Window menu's arrangements of the MDI area's child windows.
namespace WindowArrangement {

// Horizontal tiling stacks full-width bands; vertical tiling puts columns side by side.
void Tile(QMdiArea *mdi, bool horizontal);
// Minimised windows in rows along the area's foot.
void ArrangeIcons(QMdiArea *mdi);
// Each CPU window at its natural size, in a grid as wide as the area; the area scrolls when the
// rows run past its foot. The log goes below the grid.
void TileAsGrid(QMdiArea *mdi);
// A CPU window without a stored place goes to the first cell of a grid of its size that covers
// no other window.
void PlaceNew(QMdiArea *mdi, QWidget *window);

} // namespace WindowArrangement
