#pragma once

#include <QAbstractScrollArea>
#include <functional>

#include "view/grid_geometry.h"

class QPainter;

namespace pakscope {

// The flags a cell is painted with.
struct GridCellState {
  bool selected = false;
  bool focused = false;
  bool fixed = false;
};

// A grid of owner-drawn cells: one fixed row and column at most, a focused cell
// with range selection, keyboard navigation, scrolling by whole cells, row
// moving by dragging a row caption. It keeps no per-cell or per-row data: every
// paint asks the draw-cell callback for the exposed cells only.
class TDrawGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  using DrawCell = std::function<void(QPainter&, int column, int row, const QRect&, GridCellState)>;

  explicit TDrawGrid(QWidget* parent = nullptr);

  const GridGeometry& layout() const noexcept { return geometry_; }
  // Changes of the layout; each keeps the focus inside the grid and repaints.
  void setCounts(int columns, int rows);
  void setFixed(int fixedColumns, int fixedRows);
  void setDefaultSizes(int columnWidth, int rowHeight);
  void setColumnWidth(int column, int width);
  void setRowHeight(int row, int height);
  void setLineWidth(int width);
  void setLines(bool vertical, bool horizontal);
  void setDrawCell(DrawCell draw) { draw_ = std::move(draw); }

  GridCell focusCell() const noexcept { return focus_; }
  // Moves the focus (clamped into the scrollable cells) and scrolls it into view.
  void setFocusCell(int column, int row, bool extendSelection = false);
  bool isSelected(int column, int row) const noexcept;
  // The selected block of cells: from the anchor of a range selection to the focus.
  GridRange selection() const noexcept;

  GridCell cellAt(QPoint viewportPoint) const noexcept;
  QRect cellRect(int column, int row) const noexcept;
  // First scrollable column and row shown.
  void scrollToCell(int leftColumn, int topRow);

  // Paints the cells meeting `exposed` (viewport coordinates) with `painter`:
  // what a paint event does, usable for off-screen images.
  void paintCells(QPainter& painter, const QRect& exposed);
  // The whole viewport rendered into an image of its size.
  QImage renderImage();

 signals:
  void focusChanged(int column, int row);
  // A cell was chosen by the user or by code: the focus moved to it, or a click
  // landed on the cell that already had the focus. Clamping after a layout
  // change is no choice and does not count.
  void cellSelected(int column, int row);
  void keyPressedInGrid(Qt::KeyboardModifiers modifiers);
  void cellPressed(int column, int row, Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
  void cellDragged(int column, int row, Qt::KeyboardModifiers modifiers);
  void cellReleased(int column, int row, Qt::KeyboardModifiers modifiers);
  void rowMoved(int from, int to);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void layoutChanged();
  void syncScrollBars();

  GridGeometry geometry_;
  DrawCell draw_;
  GridCell focus_{0, 0};
  GridCell anchor_{0, 0};
  int movingRow_ = -1;  // row whose caption is being dragged
  bool syncing_ = false;
};

}  // namespace pakscope
