#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace pakscope {

// A rectangle in viewport pixels; right and bottom are exclusive.
struct GridRect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const noexcept { return right <= left || bottom <= top; }
  int width() const noexcept { return right - left; }
  int height() const noexcept { return bottom - top; }
  friend bool operator==(const GridRect&, const GridRect&) = default;
};

struct GridCell {
  int column = -1;
  int row = -1;
  bool valid() const noexcept { return column >= 0 && row >= 0; }
  friend bool operator==(const GridCell&, const GridCell&) = default;
};

// Inclusive range of scrollable cells that reach into the viewport.
struct GridRange {
  int firstColumn = 0, lastColumn = -1;
  int firstRow = 0, lastRow = -1;
};

// Keys that move the focused cell.
enum class GridKey { Left, Right, Up, Down, PageUp, PageDown, Home, End, CtrlHome, CtrlEnd };

// Layout of a cell grid with at most one fixed row and one fixed column,
// scrolled by whole cells. Every query costs in proportion to what is visible,
// never to the number of rows, so a grid of millions of rows is as cheap as
// one of ten.
class GridGeometry {
 public:
  // Counts are clamped to at least one row and one column.
  void setCounts(int columns, int rows);
  int columnCount() const noexcept { return columns_; }
  int rowCount() const noexcept { return rows_; }

  // One fixed row / column at most, and never all of them.
  void setFixed(int fixedColumns, int fixedRows);
  int fixedColumns() const noexcept { return fixedColumns_; }
  int fixedRows() const noexcept { return fixedRows_; }

  // Sizes are at least one pixel. Per-index sizes win over the defaults and are
  // meant for a handful of indices (the fixed row and column).
  void setDefaultSizes(int columnWidth, int rowHeight);
  int defaultColumnWidth() const noexcept { return defaultWidth_; }
  int defaultRowHeight() const noexcept { return defaultHeight_; }
  void setColumnWidth(int column, int width);
  void setRowHeight(int row, int height);
  int columnWidth(int column) const noexcept;
  int rowHeight(int row) const noexcept;

  // Width of the lines after each cell; switched per direction for body and
  // fixed cells.
  void setLineWidth(int width);
  int lineWidth() const noexcept { return lineWidth_; }
  void setLines(bool vertical, bool horizontal, bool fixedVertical, bool fixedHorizontal);
  bool verticalLines() const noexcept { return vertical_; }
  bool horizontalLines() const noexcept { return horizontal_; }
  int columnPitch(int column) const noexcept;  // width plus its line
  int rowPitch(int row) const noexcept;

  void setViewport(int width, int height);
  int viewportWidth() const noexcept { return viewWidth_; }
  int viewportHeight() const noexcept { return viewHeight_; }

  // First scrollable column and row shown; clamped to the scroll range.
  void scrollTo(int leftColumn, int topRow);
  int leftColumn() const noexcept { return left_; }
  int topRow() const noexcept { return top_; }
  // Largest left column / top row that still fills the viewport to the end.
  int maxLeftColumn() const noexcept;
  int maxTopRow() const noexcept;

  // Scrollable rows (columns) that fit wholly below (right of) the fixed part
  // when scrolled to the given top row (left column); at least one.
  int wholeRowsFrom(int topRow) const noexcept;
  int wholeColumnsFrom(int leftColumn) const noexcept;

  GridRange visibleRange() const noexcept;
  // The cell at a viewport point; invalid outside the cells.
  GridCell cellAt(int x, int y) const noexcept;
  // The cell's rectangle without its lines; empty when scrolled out of view.
  GridRect cellRect(int column, int row) const noexcept;
  // Scrolls as little as possible to show the cell wholly.
  void makeVisible(int column, int row);

  // Focus after a navigation key, kept inside the scrollable cells.
  GridCell move(GridCell focus, GridKey key) const noexcept;

 private:
  int columnLeft(int column) const noexcept;  // -1 when not shown
  int rowTop(int row) const noexcept;
  int fixedWidth() const noexcept;
  int fixedHeight() const noexcept;

  int columns_ = 1, rows_ = 1;
  int fixedColumns_ = 0, fixedRows_ = 0;
  int defaultWidth_ = 64, defaultHeight_ = 24;
  std::vector<std::pair<int, int>> widths_, heights_;
  int lineWidth_ = 1;
  bool vertical_ = true, horizontal_ = true, fixedVertical_ = true, fixedHorizontal_ = true;
  int viewWidth_ = 0, viewHeight_ = 0;
  int left_ = 0, top_ = 0;
};

}  // namespace pakscope
