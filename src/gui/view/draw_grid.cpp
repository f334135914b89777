#include "gui/view/draw_grid.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace pakscope {

namespace {

const QColor kLineColour(192, 192, 192);
const QColor kFixedLineColour(128, 128, 128);

}  // namespace

TDrawGrid::TDrawGrid(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  viewport()->setMouseTracking(false);
  verticalScrollBar()->setTracking(true);
  horizontalScrollBar()->setTracking(true);
  geometry_.setViewport(viewport()->width(), viewport()->height());
}

void TDrawGrid::setCounts(int columns, int rows) {
  geometry_.setCounts(columns, rows);
  layoutChanged();
}

void TDrawGrid::setFixed(int fixedColumns, int fixedRows) {
  geometry_.setFixed(fixedColumns, fixedRows);
  layoutChanged();
}

void TDrawGrid::setDefaultSizes(int columnWidth, int rowHeight) {
  geometry_.setDefaultSizes(columnWidth, rowHeight);
  layoutChanged();
}

void TDrawGrid::setColumnWidth(int column, int width) {
  geometry_.setColumnWidth(column, width);
  layoutChanged();
}

void TDrawGrid::setRowHeight(int row, int height) {
  geometry_.setRowHeight(row, height);
  layoutChanged();
}

void TDrawGrid::setLineWidth(int width) {
  geometry_.setLineWidth(width);
  layoutChanged();
}

void TDrawGrid::setLines(bool vertical, bool horizontal) {
  geometry_.setLines(vertical, horizontal, true, true);
  layoutChanged();
}

void TDrawGrid::layoutChanged() {
  const GridCell old = focus_;
  focus_.column = std::clamp(focus_.column, geometry_.fixedColumns(), geometry_.columnCount() - 1);
  focus_.row = std::clamp(focus_.row, geometry_.fixedRows(), geometry_.rowCount() - 1);
  anchor_.column =
      std::clamp(anchor_.column, geometry_.fixedColumns(), geometry_.columnCount() - 1);
  anchor_.row = std::clamp(anchor_.row, geometry_.fixedRows(), geometry_.rowCount() - 1);
  syncScrollBars();
  viewport()->update();
  if (!(old == focus_)) emit focusChanged(focus_.column, focus_.row);
}

void TDrawGrid::syncScrollBars() {
  syncing_ = true;
  QScrollBar* v = verticalScrollBar();
  v->setRange(0, geometry_.maxTopRow() - geometry_.fixedRows());
  v->setPageStep(geometry_.wholeRowsFrom(geometry_.topRow()));
  v->setValue(geometry_.topRow() - geometry_.fixedRows());
  QScrollBar* h = horizontalScrollBar();
  h->setRange(0, geometry_.maxLeftColumn() - geometry_.fixedColumns());
  h->setPageStep(geometry_.wholeColumnsFrom(geometry_.leftColumn()));
  h->setValue(geometry_.leftColumn() - geometry_.fixedColumns());
  syncing_ = false;
}

void TDrawGrid::scrollContentsBy(int, int) {
  if (syncing_) return;
  geometry_.scrollTo(horizontalScrollBar()->value() + geometry_.fixedColumns(),
                     verticalScrollBar()->value() + geometry_.fixedRows());
  viewport()->update();
}

void TDrawGrid::scrollToCell(int leftColumn, int topRow) {
  geometry_.scrollTo(leftColumn, topRow);
  syncScrollBars();
  viewport()->update();
}

void TDrawGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  geometry_.setViewport(viewport()->width(), viewport()->height());
  syncScrollBars();
}

void TDrawGrid::setFocusCell(int column, int row, bool extendSelection) {
  const GridCell old = focus_;
  focus_.column = std::clamp(column, geometry_.fixedColumns(), geometry_.columnCount() - 1);
  focus_.row = std::clamp(row, geometry_.fixedRows(), geometry_.rowCount() - 1);
  if (!extendSelection) anchor_ = focus_;
  geometry_.makeVisible(focus_.column, focus_.row);
  syncScrollBars();
  viewport()->update();
  if (!(old == focus_)) {
    emit focusChanged(focus_.column, focus_.row);
    emit cellSelected(focus_.column, focus_.row);
  }
}

bool TDrawGrid::isSelected(int column, int row) const noexcept {
  return column >= std::min(anchor_.column, focus_.column) &&
         column <= std::max(anchor_.column, focus_.column) &&
         row >= std::min(anchor_.row, focus_.row) && row <= std::max(anchor_.row, focus_.row);
}

GridRange TDrawGrid::selection() const noexcept {
  return {std::min(anchor_.column, focus_.column), std::max(anchor_.column, focus_.column),
          std::min(anchor_.row, focus_.row), std::max(anchor_.row, focus_.row)};
}

GridCell TDrawGrid::cellAt(QPoint p) const noexcept {
  return geometry_.cellAt(p.x(), p.y());
}

QRect TDrawGrid::cellRect(int column, int row) const noexcept {
  const GridRect r = geometry_.cellRect(column, row);
  if (r.empty()) return {};
  return QRect(r.left, r.top, r.width(), r.height());
}

void TDrawGrid::paintCells(QPainter& painter, const QRect& exposed) {
  painter.fillRect(exposed, palette().base());
  if (!draw_) return;
  const GridRange range = geometry_.visibleRange();
  const int fixedColumns = geometry_.fixedColumns();
  const int fixedRows = geometry_.fixedRows();
  // The rows to paint: the fixed one, then the visible scrollable ones.
  auto paintRow = [&](int row, int y) {
    const int height = geometry_.rowHeight(row);
    const int pitch = geometry_.rowPitch(row);
    if (y + pitch <= exposed.top() || y > exposed.bottom()) return;
    auto paintCell = [&](int column, int x) {
      const int width = geometry_.columnWidth(column);
      const int columnPitch = geometry_.columnPitch(column);
      if (x + columnPitch <= exposed.left() || x > exposed.right()) return;
      const bool fixed = column < fixedColumns || row < fixedRows;
      // The gaps after the cell are its grid lines.
      if (columnPitch > width || pitch > height)
        painter.fillRect(QRect(x, y, columnPitch, pitch), fixed ? kFixedLineColour : kLineColour);
      GridCellState state;
      state.fixed = fixed;
      state.focused = !fixed && column == focus_.column && row == focus_.row;
      state.selected = !fixed && isSelected(column, row);
      draw_(painter, column, row, QRect(x, y, width, height), state);
    };
    int x = 0;
    if (fixedColumns) {
      paintCell(0, 0);
      x = geometry_.columnPitch(0);
    }
    for (int column = range.firstColumn; column <= range.lastColumn; ++column) {
      paintCell(column, x);
      x += geometry_.columnPitch(column);
    }
  };
  int y = 0;
  if (fixedRows) {
    paintRow(0, 0);
    y = geometry_.rowPitch(0);
  }
  for (int row = range.firstRow; row <= range.lastRow; ++row) {
    paintRow(row, y);
    y += geometry_.rowPitch(row);
  }
}

QImage TDrawGrid::renderImage() {
  QImage image(viewport()->size(), QImage::Format_RGB32);
  QPainter painter(&image);
  paintCells(painter, image.rect());
  return image;
}

void TDrawGrid::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  paintCells(painter, event->rect());
}

void TDrawGrid::keyPressEvent(QKeyEvent* event) {
  emit keyPressedInGrid(event->modifiers());
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  GridKey key;
  switch (event->key()) {
    case Qt::Key_Left: key = GridKey::Left; break;
    case Qt::Key_Right: key = GridKey::Right; break;
    case Qt::Key_Up: key = GridKey::Up; break;
    case Qt::Key_Down: key = GridKey::Down; break;
    case Qt::Key_PageUp: key = GridKey::PageUp; break;
    case Qt::Key_PageDown: key = GridKey::PageDown; break;
    case Qt::Key_Home: key = ctrl ? GridKey::CtrlHome : GridKey::Home; break;
    case Qt::Key_End: key = ctrl ? GridKey::CtrlEnd : GridKey::End; break;
    default: event->ignore(); return;
  }
  const GridCell next = geometry_.move(focus_, key);
  setFocusCell(next.column, next.row, shift);
}

void TDrawGrid::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const GridCell cell = cellAt(event->position().toPoint());
  if (!cell.valid()) return;
  const bool fixedColumn = cell.column < geometry_.fixedColumns();
  const bool fixedRow = cell.row < geometry_.fixedRows();
  movingRow_ = -1;
  if (event->button() == Qt::LeftButton) {
    if (!fixedColumn && !fixedRow) {
      const GridCell old = focus_;
      setFocusCell(cell.column, cell.row, event->modifiers() & Qt::ShiftModifier);
      if (old == focus_) emit cellSelected(focus_.column, focus_.row);
    } else if (fixedColumn && !fixedRow && event->modifiers() == Qt::NoModifier)
      movingRow_ = cell.row;
  }
  emit cellPressed(cell.column, cell.row, event->button(), event->modifiers());
}

void TDrawGrid::mouseMoveEvent(QMouseEvent* event) {
  if (!(event->buttons() & Qt::LeftButton)) return;
  const GridCell cell = cellAt(event->position().toPoint());
  if (cell.valid() && movingRow_ < 0) emit cellDragged(cell.column, cell.row, event->modifiers());
}

void TDrawGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const GridCell cell = cellAt(event->position().toPoint());
  const int from = movingRow_;
  movingRow_ = -1;
  if (from >= 0) {
    if (cell.valid() && cell.row != from) emit rowMoved(from, cell.row);
    return;
  }
  emit cellReleased(cell.column, cell.row, event->modifiers());
}

}  // namespace pakscope
