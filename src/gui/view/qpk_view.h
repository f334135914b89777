#pragma once

#include <QColor>
#include <QFont>
#include <QStaticText>
#include <array>
#include <cstdint>

#include "packets/packet.h"
#include "view/column_marks.h"
#include "gui/view/draw_grid.h"
#include "view/view_model.h"

namespace pakscope {

// Presentation of a packet list in a grid: one row per packet, one column per
// byte. Sizes the grid's cells for the display mode and paints every cell.
class CQpkView {
 public:
  CQpkView();

  ViewMode mode = ViewMode::Dec;
  bool showRowCaptions = true;
  int cellWidth = 24;
  int cellHeight = 17;
  TDrawGrid* grid = nullptr;            // not owned
  const PacketList* packets = nullptr;  // not owned; null until a list is installed
  bool busy = false;                    // paints nothing while the list is replaced
  ZoomTable zoom;
  bool protocolPanelVisible = false;
  QFont font;
  QColor fontColour = Qt::black;
  const ColumnMarks* markedColumns = nullptr;  // owned by the window

  void SetViewMode(ViewMode newMode);
  void ApplyFont(const QFont& newFont);
  void ResetCellSize();
  void DrawCell(QPainter& painter, int column, int row, const QRect& rect, GridCellState state);

  // Font of the body text for the current mode and zoom.
  QFont bodyFont() const;

 private:
  void prepareTexts();

  // The 256 byte texts of the current mode laid out once, so that a repaint
  // draws prepared glyphs instead of shaping text cell by cell.
  std::array<QStaticText, 256> byteTexts_;
  std::array<int, 256> byteWidths_{};
  int bodyTextHeight_ = 0;
  ViewMode preparedMode_ = ViewMode::Bit;
  QFont preparedFont_;
  bool prepared_ = false;
  QFont fixedFont_, fixedBoldFont_;
};

}  // namespace pakscope
