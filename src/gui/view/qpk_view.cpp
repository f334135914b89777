#include "gui/view/qpk_view.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPalette>

#include "packets/palette.h"

namespace pakscope {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kRed(255, 0, 0);
const QColor kYellow(255, 255, 0);
const QColor kStripeOn(0, 128, 0);
const QColor kStripeOff(0, 0, 0);
const QColor kFocusBlue(0, 0, 255);

QColor paletteColour(uint8_t index) {
  const PaletteColour& c = kPalette[index < kPaletteSize ? index : 0];
  return QColor(c.r, c.g, c.b);
}

}  // namespace

CQpkView::CQpkView() : font(QApplication::font()) {
  fixedFont_ = font;
  fixedFont_.setPointSize(8);
  fixedBoldFont_ = fixedFont_;
  fixedBoldFont_.setBold(true);
}

QFont CQpkView::bodyFont() const {
  QFont f = font;
  const int base = font.pointSize() > 0 ? font.pointSize() : 8;
  f.setPointSize(BodyFontSize(base, zoom[mode]));
  return f;
}

void CQpkView::SetViewMode(ViewMode newMode) {
  mode = newMode;
  showRowCaptions = true;
  if (grid) {
    grid->setLineWidth(1);
    grid->setLines(true, true);
  }
  ApplyFont(font);
}

void CQpkView::ApplyFont(const QFont& newFont) {
  font = newFont;
  fixedFont_ = font;
  fixedFont_.setPointSize(8);
  fixedBoldFont_ = fixedFont_;
  fixedBoldFont_.setBold(true);
  const QFontMetrics fm(font);
  FontMetrics m;
  m.wide3 = fm.horizontalAdvance(QStringLiteral("888"));
  m.high3 = fm.height();
  m.wide1 = fm.horizontalAdvance(QStringLiteral("8"));
  m.high1 = fm.height();
  m.wide8 = fm.horizontalAdvance(QStringLiteral("00000000"));
  const CellGeometry g = ComputeCellGeometry(mode, zoom[mode], m);
  cellWidth = g.cellWidth;
  cellHeight = g.cellHeight;
  showRowCaptions = g.showRowCaptions;
  if (grid) {
    grid->setLineWidth(1);
    grid->setLines(g.verticalLines, g.horizontalLines);
    grid->setDefaultSizes(cellWidth, cellHeight);
    grid->setColumnWidth(0, kCaptionColumnWidth);
    grid->setRowHeight(0, kHeaderRowHeight);
  }
  prepared_ = false;
}

void CQpkView::ResetCellSize() {
  cellWidth = 24;
  cellHeight = 17;
  if (grid) {
    grid->setDefaultSizes(24, 17);
    grid->setColumnWidth(0, kCaptionColumnWidth);
  }
}

void CQpkView::prepareTexts() {
  const QFont body = bodyFont();
  if (prepared_ && preparedMode_ == mode && preparedFont_ == body) return;
  const QFontMetrics fm(body);
  for (int b = 0; b < 256; ++b) {
    const QString text = QString::fromStdString(ByteCellText(mode, static_cast<uint8_t>(b)));
    byteTexts_[b] = QStaticText(text);
    byteTexts_[b].setTextFormat(Qt::PlainText);
    byteTexts_[b].prepare(QTransform(), body);
    byteWidths_[b] = fm.horizontalAdvance(text);
  }
  bodyTextHeight_ = fm.height();
  preparedMode_ = mode;
  preparedFont_ = body;
  prepared_ = true;
}

void CQpkView::DrawCell(QPainter& painter, int column, int row, const QRect& rect,
                        GridCellState state) {
  if (busy || packets == nullptr) return;
  const bool hasFixedColumn = grid == nullptr || grid->layout().fixedColumns() > 0;
  const CellContent cell =
      DescribeCell(*packets, mode, showRowCaptions, hasFixedColumn, column, row);
  const bool fixed = state.fixed;
  const bool marked = markedColumns != nullptr && column >= 1 && markedColumns->isMarked(column);

  QColor brush;
  if (fixed)
    brush = marked ? kRed : QApplication::palette().color(QPalette::Button);
  else
    brush = cell.inRange ? paletteColour(cell.colour) : QColor(Qt::white);
  const int left = rect.left(), top = rect.top(), w = rect.width(), h = rect.height();
  const int right = left + w, bottom = top + h;  // exclusive edges
  painter.fillRect(rect, brush);
  if (state.focused) {
    painter.setPen(kNavy);
    painter.setBrush(brush);
    painter.drawRect(QRect(left, top, w - 1, h));
    painter.setBrush(Qt::NoBrush);
  }
  if (marked) {
    painter.setPen(kRed);
    painter.drawLine(left - 1, top, left - 1, bottom);
    painter.drawLine(right, top, right, bottom);
    painter.setPen(kYellow);
    painter.drawLine(left, top, left, bottom);
    painter.drawLine(right - 1, top, right - 1, bottom);
  }

  switch (cell.kind) {
    case CellKind::Empty: return;
    case CellKind::BitStripes: {
      const int s = w / 8;
      for (int i = 0; i < 8; ++i)
        painter.fillRect(QRect(left + i * s, top, s, h + 1),
                         (cell.byte >> i) & 1 ? kStripeOn : kStripeOff);
      if (state.focused) {
        painter.setPen(kFocusBlue);
        const QPoint outline[] = {{left + 1, top},
                                  {right - 2, top},
                                  {right - 2, bottom},
                                  {left + 1, bottom},
                                  {left + 1, top}};
        painter.drawPolyline(outline, 5);
      }
      return;
    }
    case CellKind::ByteText: {
      prepareTexts();
      const int tw = byteWidths_[cell.byte];
      const int th = bodyTextHeight_;
      if (tw > w || th > h) return;
      painter.setPen(fontColour);
      painter.setFont(preparedFont_);
      painter.drawStaticText(left + (w - tw) / 2, top + (h - th) / 2, byteTexts_[cell.byte]);
      return;
    }
    case CellKind::HeaderNumber:
    case CellKind::RowCaption: {
      QFont f;
      if (fixed)
        f = marked && cell.kind == CellKind::HeaderNumber ? fixedBoldFont_ : fixedFont_;
      else
        f = bodyFont();
      const QString text = QString::fromStdString(cell.text);
      const QFontMetrics fm(f);
      const int tw = fm.horizontalAdvance(text);
      const int th = fm.height();
      if (tw > w || th > h) return;
      painter.setPen(fontColour);
      painter.setFont(f);
      painter.drawText(left + (w - tw) / 2, top + (h - th) / 2 + fm.ascent(), text);
      return;
    }
  }
}

}  // namespace pakscope
