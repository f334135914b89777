#include "view/view_model.h"

#include <algorithm>

namespace pakscope {

std::string BinText(uint8_t b) {
  std::string text(8, '0');
  for (int k = 0; k < 8; ++k)
    if (b & (1u << k)) text[k] = '1';
  return text;
}

std::string ByteCellText(ViewMode mode, uint8_t b) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  switch (mode) {
    case ViewMode::Dec: return std::to_string(b);
    case ViewMode::Hex: return {kDigits[b >> 4], kDigits[b & 15]};
    case ViewMode::Bin: return BinText(b);
    case ViewMode::Txt:
      return b >= 31 && b <= 127 ? std::string(1, static_cast<char>(b)) : std::string();
    case ViewMode::Bit: break;
  }
  return {};
}

std::string RowCaption(int row, uint32_t length) {
  return std::to_string(row) + " : " + std::to_string(length);
}

ZoomTable::ZoomTable() {
  zoom_[static_cast<int>(ViewMode::Bit) - 1] = {5, 5};
}

void ZoomTable::zoomIn(ViewMode mode) {
  ++(*this)[mode].x;
  ++(*this)[mode].y;
}

void ZoomTable::zoomOut(ViewMode mode) {
  Zoom& z = (*this)[mode];
  if (z.x > 1) --z.x;
  if (z.y > 1) --z.y;
}

void ZoomTable::zoomInX(ViewMode mode) {
  ++(*this)[mode].x;
}

void ZoomTable::zoomOutX(ViewMode mode) {
  if ((*this)[mode].x > 1) --(*this)[mode].x;
}

CellGeometry ComputeCellGeometry(ViewMode mode, Zoom zoom, const FontMetrics& m) {
  CellGeometry g;
  switch (mode) {
    case ViewMode::Dec:
    case ViewMode::Hex:
      // Two hex digits are measured with the three-digit sample too.
      g.cellWidth = (m.wide3 + 5) * zoom.x;
      g.cellHeight = (m.high3 + 5) * zoom.y;
      break;
    case ViewMode::Bin:
      g.cellWidth = (m.wide8 + 5) * zoom.x;
      g.cellHeight = (m.high3 + 5) * zoom.y;
      break;
    case ViewMode::Txt:
      g.cellWidth = (m.wide1 + 5) * zoom.x;
      g.cellHeight = (m.high1 + 5) * zoom.y;
      g.verticalLines = false;
      break;
    case ViewMode::Bit:
      g.cellWidth = 8 * zoom.x;
      g.cellHeight = 2 * zoom.y;
      g.verticalLines = false;
      g.horizontalLines = false;
      g.showRowCaptions = false;
      break;
  }
  return g;
}

int BodyFontSize(int baseSize, Zoom zoom) {
  return zoom.x == zoom.y ? baseSize * zoom.x : baseSize;
}

CellContent DescribeCell(const PacketList& list, ViewMode mode, bool showRowCaptions,
                         bool hasFixedColumn, int column, int row) {
  CellContent c;
  const bool rowIsPacket = row >= 1 && static_cast<size_t>(row) <= list.size();
  const PACKET* packet = rowIsPacket ? &list[static_cast<size_t>(row) - 1] : nullptr;
  c.fixed = row == 0 || (column == 0 && hasFixedColumn);
  c.inRange = packet != nullptr && column >= 1 && static_cast<uint32_t>(column) <= packet->length;
  if (c.inRange) c.colour = packet->color;
  if (mode == ViewMode::Bit) {
    // Stripes only: not even the header numbers are drawn.
    if (c.inRange) {
      c.kind = CellKind::BitStripes;
      c.byte = packet->data[static_cast<size_t>(column) - 1];
    }
    return c;
  }
  if (c.fixed) {
    if (row == 0 && column >= 1 && mode != ViewMode::Txt) {
      c.kind = CellKind::HeaderNumber;
      c.text = std::to_string(column);
    } else if (row >= 1 && showRowCaptions && packet != nullptr) {
      c.kind = CellKind::RowCaption;
      c.text = RowCaption(row, packet->length);
    }
    return c;
  }
  if (column == 0 && packet != nullptr) {
    // Without a fixed column (every packet empty) the caption sits in a body cell.
    c.kind = CellKind::RowCaption;
    c.text = RowCaption(row, packet->length);
    return c;
  }
  if (c.inRange) {
    c.byte = packet->data[static_cast<size_t>(column) - 1];
    c.text = ByteCellText(mode, c.byte);
    c.kind = c.text.empty() ? CellKind::Empty : CellKind::ByteText;
  }
  return c;
}

std::string CountStatus(const PacketList& list) {
  return "Всего пакетов: " + std::to_string(list.size());
}

std::string LengthStatus(const PacketList& list) {
  // Both figures in one pass: the panel is rewritten after every list command.
  uint32_t shortest = list.empty() ? 0 : 65536, longest = 0;
  for (const PACKET& p : list) {
    shortest = std::min(shortest, p.length);
    longest = std::max(longest, p.length);
  }
  return "Длина мин: " + std::to_string(shortest) + " макс: " + std::to_string(longest);
}

std::string CellStatus(int row, int column) {
  return "Текущая ячейка: пакет " + std::to_string(row) + " байт " + std::to_string(column) +
         " биты " + std::to_string(8 * int64_t{column} - 7) + "-" +
         std::to_string(8 * int64_t{column});
}

std::string ByteStatus(uint8_t b) {
  return "dec: " + std::to_string(b) + " | hex: " + ByteCellText(ViewMode::Hex, b) +
         " | bin: " + BinText(b);
}

}  // namespace pakscope
