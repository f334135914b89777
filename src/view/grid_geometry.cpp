#include "view/grid_geometry.h"

#include <algorithm>

namespace pakscope {

namespace {

int lookup(const std::vector<std::pair<int, int>>& sizes, int index, int fallback) noexcept {
  for (const auto& [i, size] : sizes)
    if (i == index) return size;
  return fallback;
}

void store(std::vector<std::pair<int, int>>& sizes, int index, int size) {
  for (auto& entry : sizes)
    if (entry.first == index) {
      entry.second = size;
      return;
    }
  sizes.emplace_back(index, size);
}

}  // namespace

void GridGeometry::setCounts(int columns, int rows) {
  columns_ = std::max(1, columns);
  rows_ = std::max(1, rows);
  setFixed(fixedColumns_, fixedRows_);
}

void GridGeometry::setFixed(int fixedColumns, int fixedRows) {
  fixedColumns_ = std::clamp(fixedColumns, 0, std::min(1, columns_ - 1));
  fixedRows_ = std::clamp(fixedRows, 0, std::min(1, rows_ - 1));
  scrollTo(left_, top_);
}

void GridGeometry::setDefaultSizes(int columnWidth, int rowHeight) {
  defaultWidth_ = std::max(1, columnWidth);
  defaultHeight_ = std::max(1, rowHeight);
  scrollTo(left_, top_);
}

void GridGeometry::setColumnWidth(int column, int width) {
  store(widths_, column, std::max(1, width));
  scrollTo(left_, top_);
}

void GridGeometry::setRowHeight(int row, int height) {
  store(heights_, row, std::max(1, height));
  scrollTo(left_, top_);
}

int GridGeometry::columnWidth(int column) const noexcept {
  return lookup(widths_, column, defaultWidth_);
}

int GridGeometry::rowHeight(int row) const noexcept {
  return lookup(heights_, row, defaultHeight_);
}

void GridGeometry::setLineWidth(int width) {
  lineWidth_ = std::max(0, width);
  scrollTo(left_, top_);
}

void GridGeometry::setLines(bool vertical, bool horizontal, bool fixedVertical,
                            bool fixedHorizontal) {
  vertical_ = vertical;
  horizontal_ = horizontal;
  fixedVertical_ = fixedVertical;
  fixedHorizontal_ = fixedHorizontal;
  scrollTo(left_, top_);
}

int GridGeometry::columnPitch(int column) const noexcept {
  const bool line = column < fixedColumns_ ? fixedVertical_ : vertical_;
  return columnWidth(column) + (line ? lineWidth_ : 0);
}

int GridGeometry::rowPitch(int row) const noexcept {
  const bool line = row < fixedRows_ ? fixedHorizontal_ : horizontal_;
  return rowHeight(row) + (line ? lineWidth_ : 0);
}

void GridGeometry::setViewport(int width, int height) {
  viewWidth_ = std::max(0, width);
  viewHeight_ = std::max(0, height);
  scrollTo(left_, top_);
}

int GridGeometry::fixedWidth() const noexcept {
  return fixedColumns_ ? columnPitch(0) : 0;
}

int GridGeometry::fixedHeight() const noexcept {
  return fixedRows_ ? rowPitch(0) : 0;
}

int GridGeometry::maxLeftColumn() const noexcept {
  // The smallest start from which the columns up to the last fit the room.
  const int room = viewWidth_ - fixedWidth();
  int start = columns_, used = 0;
  while (start > fixedColumns_ && used + columnPitch(start - 1) <= room) {
    --start;
    used += columnPitch(start);
  }
  return std::max(fixedColumns_, std::min(start, columns_ - 1));
}

int GridGeometry::maxTopRow() const noexcept {
  const int room = viewHeight_ - fixedHeight();
  int start = rows_, used = 0;
  while (start > fixedRows_ && used + rowPitch(start - 1) <= room) {
    --start;
    used += rowPitch(start);
  }
  return std::max(fixedRows_, std::min(start, rows_ - 1));
}

int GridGeometry::wholeRowsFrom(int topRow) const noexcept {
  const int room = viewHeight_ - fixedHeight();
  int used = 0, count = 0;
  for (int row = std::max(topRow, fixedRows_); row < rows_; ++row) {
    used += rowPitch(row);
    if (used > room) break;
    ++count;
  }
  return std::max(1, count);
}

int GridGeometry::wholeColumnsFrom(int leftColumn) const noexcept {
  const int room = viewWidth_ - fixedWidth();
  int used = 0, count = 0;
  for (int column = std::max(leftColumn, fixedColumns_); column < columns_; ++column) {
    used += columnPitch(column);
    if (used > room) break;
    ++count;
  }
  return std::max(1, count);
}

void GridGeometry::scrollTo(int leftColumn, int topRow) {
  left_ = std::clamp(leftColumn, fixedColumns_, maxLeftColumn());
  top_ = std::clamp(topRow, fixedRows_, maxTopRow());
}

GridRange GridGeometry::visibleRange() const noexcept {
  GridRange range;
  range.firstColumn = left_;
  range.lastColumn = left_ - 1;
  for (int x = fixedWidth(), c = left_; c < columns_ && x < viewWidth_; ++c) {
    range.lastColumn = c;
    x += columnPitch(c);
  }
  range.firstRow = top_;
  range.lastRow = top_ - 1;
  for (int y = fixedHeight(), r = top_; r < rows_ && y < viewHeight_; ++r) {
    range.lastRow = r;
    y += rowPitch(r);
  }
  return range;
}

int GridGeometry::columnLeft(int column) const noexcept {
  if (column < 0 || column >= columns_) return -1;
  if (column < fixedColumns_) return 0;
  if (column < left_) return -1;
  int x = fixedWidth();
  for (int c = left_; c < column; ++c) {
    x += columnPitch(c);
    if (x >= viewWidth_) return -1;
  }
  return x < viewWidth_ ? x : -1;
}

int GridGeometry::rowTop(int row) const noexcept {
  if (row < 0 || row >= rows_) return -1;
  if (row < fixedRows_) return 0;
  if (row < top_) return -1;
  int y = fixedHeight();
  for (int r = top_; r < row; ++r) {
    y += rowPitch(r);
    if (y >= viewHeight_) return -1;
  }
  return y < viewHeight_ ? y : -1;
}

GridCell GridGeometry::cellAt(int x, int y) const noexcept {
  if (x < 0 || y < 0 || x >= viewWidth_ || y >= viewHeight_) return {};
  GridCell cell;
  if (x < fixedWidth()) {
    cell.column = 0;
  } else {
    for (int left = fixedWidth(), c = left_; c < columns_; ++c) {
      left += columnPitch(c);
      if (x < left) {
        cell.column = c;
        break;
      }
    }
  }
  if (y < fixedHeight()) {
    cell.row = 0;
  } else {
    for (int top = fixedHeight(), r = top_; r < rows_; ++r) {
      top += rowPitch(r);
      if (y < top) {
        cell.row = r;
        break;
      }
    }
  }
  return cell.valid() ? cell : GridCell{};
}

GridRect GridGeometry::cellRect(int column, int row) const noexcept {
  const int x = columnLeft(column);
  const int y = rowTop(row);
  if (x < 0 || y < 0) return {};
  return {x, y, x + columnWidth(column), y + rowHeight(row)};
}

void GridGeometry::makeVisible(int column, int row) {
  int left = left_, top = top_;
  if (column >= fixedColumns_ && column < columns_) {
    if (column < left_) {
      left = column;
    } else if (column >= left_ + wholeColumnsFrom(left_)) {
      // The leftmost start from which `column` is still wholly shown.
      const int room = viewWidth_ - fixedWidth();
      int used = columnPitch(column);
      left = column;
      while (left > fixedColumns_ && used + columnPitch(left - 1) <= room) {
        --left;
        used += columnPitch(left);
      }
    }
  }
  if (row >= fixedRows_ && row < rows_) {
    if (row < top_) {
      top = row;
    } else if (row >= top_ + wholeRowsFrom(top_)) {
      const int room = viewHeight_ - fixedHeight();
      int used = rowPitch(row);
      top = row;
      while (top > fixedRows_ && used + rowPitch(top - 1) <= room) {
        --top;
        used += rowPitch(top);
      }
    }
  }
  scrollTo(left, top);
}

GridCell GridGeometry::move(GridCell focus, GridKey key) const noexcept {
  const int firstColumn = fixedColumns_, lastColumn = columns_ - 1;
  const int firstRow = fixedRows_, lastRow = rows_ - 1;
  if (!focus.valid()) return {firstColumn, firstRow};
  int c = std::clamp(focus.column, firstColumn, lastColumn);
  int r = std::clamp(focus.row, firstRow, lastRow);
  const int page = wholeRowsFrom(top_);
  switch (key) {
    case GridKey::Left: c = std::max(firstColumn, c - 1); break;
    case GridKey::Right: c = std::min(lastColumn, c + 1); break;
    case GridKey::Up: r = std::max(firstRow, r - 1); break;
    case GridKey::Down: r = std::min(lastRow, r + 1); break;
    case GridKey::PageUp: r = std::max(firstRow, r - page); break;
    case GridKey::PageDown:
      r = static_cast<int>(std::min<int64_t>(lastRow, int64_t{r} + page));
      break;
    case GridKey::Home: c = firstColumn; break;
    case GridKey::End: c = lastColumn; break;
    case GridKey::CtrlHome: c = firstColumn, r = firstRow; break;
    case GridKey::CtrlEnd: c = lastColumn, r = lastRow; break;
  }
  return {c, r};
}

}  // namespace pakscope
