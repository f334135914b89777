#include "view/view_model.h"

#include <gtest/gtest.h>

#include "support/capture_files.h"

namespace pakscope {
namespace {

TEST(CellText, EveryNotation) {
  EXPECT_EQ(ByteCellText(ViewMode::Dec, 0), "0");
  EXPECT_EQ(ByteCellText(ViewMode::Dec, 255), "255");
  EXPECT_EQ(ByteCellText(ViewMode::Hex, 0x0A), "0A");
  EXPECT_EQ(ByteCellText(ViewMode::Bin, 1), "10000000");
  EXPECT_EQ(ByteCellText(ViewMode::Bin, 128), "00000001");
  EXPECT_EQ(ByteCellText(ViewMode::Bin, 5), "10100000");
  EXPECT_EQ(ByteStatus(5), "dec: 5 | hex: 05 | bin: 10100000");
  EXPECT_EQ(ByteCellText(ViewMode::Txt, 31), "\x1f");
  EXPECT_EQ(ByteCellText(ViewMode::Txt, 'A'), "A");
  EXPECT_EQ(ByteCellText(ViewMode::Txt, 127), "\x7f");
  EXPECT_EQ(ByteCellText(ViewMode::Txt, 30), "");
  EXPECT_EQ(ByteCellText(ViewMode::Txt, 128), "");
  EXPECT_EQ(ByteCellText(ViewMode::Bit, 0xFF), "");
}

TEST(Zoom, FactorsNeverDropBelowOneAndBitModeStartsAtFive) {
  ZoomTable zoom;
  EXPECT_EQ(zoom[ViewMode::Bit].x, 5);
  EXPECT_EQ(zoom[ViewMode::Dec].x, 1);
  zoom.zoomOut(ViewMode::Dec);
  zoom.zoomOutX(ViewMode::Dec);
  EXPECT_EQ(zoom[ViewMode::Dec].x, 1);
  EXPECT_EQ(zoom[ViewMode::Dec].y, 1);
  zoom.zoomInX(ViewMode::Hex);
  EXPECT_EQ(zoom[ViewMode::Hex].x, 2);
  EXPECT_EQ(zoom[ViewMode::Hex].y, 1);
  // Widening only never enlarges the text; zooming both ways does.
  EXPECT_EQ(BodyFontSize(9, zoom[ViewMode::Hex]), 9);
  zoom.zoomIn(ViewMode::Hex);
  zoom.zoomOutX(ViewMode::Hex);
  EXPECT_EQ(BodyFontSize(9, zoom[ViewMode::Hex]), 18);
}

TEST(Geometry, CellSizesPerMode) {
  const FontMetrics m{21, 13, 7, 13, 56};
  const CellGeometry dec = ComputeCellGeometry(ViewMode::Dec, {2, 1}, m);
  EXPECT_EQ(dec.cellWidth, 52);
  EXPECT_EQ(dec.cellHeight, 18);
  EXPECT_EQ(ComputeCellGeometry(ViewMode::Bin, {1, 1}, m).cellWidth, 61);
  const CellGeometry txt = ComputeCellGeometry(ViewMode::Txt, {1, 1}, m);
  EXPECT_EQ(txt.cellWidth, 12);
  EXPECT_FALSE(txt.verticalLines);
  EXPECT_TRUE(txt.horizontalLines);
  const CellGeometry bit = ComputeCellGeometry(ViewMode::Bit, ZoomTable()[ViewMode::Bit], m);
  EXPECT_EQ(bit.cellWidth, 40);
  EXPECT_EQ(bit.cellHeight, 10);
  EXPECT_FALSE(bit.showRowCaptions);
}

TEST(Cells, WhatEachCellShows) {
  PacketList list = test::makeList({{0x41, 0x05}, {}, {0xFF}});
  list[0].color = 2;
  auto cell = [&](ViewMode mode, int column, int row, bool captions = true) {
    return DescribeCell(list, mode, captions, true, column, row);
  };
  EXPECT_EQ(cell(ViewMode::Dec, 2, 0).text, "2");
  EXPECT_EQ(cell(ViewMode::Dec, 2, 0).kind, CellKind::HeaderNumber);
  EXPECT_EQ(cell(ViewMode::Txt, 2, 0).kind, CellKind::Empty);
  EXPECT_EQ(cell(ViewMode::Hex, 0, 1).text, "1 : 2");
  EXPECT_EQ(cell(ViewMode::Hex, 0, 1, false).kind, CellKind::Empty);
  EXPECT_EQ(cell(ViewMode::Hex, 1, 1).text, "41");
  EXPECT_EQ(cell(ViewMode::Hex, 1, 1).colour, 2);
  EXPECT_EQ(cell(ViewMode::Txt, 1, 1).text, "A");
  // Past a packet's end the cell is white and empty.
  EXPECT_FALSE(cell(ViewMode::Hex, 2, 3).inRange);
  EXPECT_EQ(cell(ViewMode::Hex, 2, 3).kind, CellKind::Empty);
  EXPECT_EQ(cell(ViewMode::Hex, 1, 2).kind, CellKind::Empty);
  // Bit mode: stripes in range, no text anywhere.
  EXPECT_EQ(cell(ViewMode::Bit, 2, 1).kind, CellKind::BitStripes);
  EXPECT_EQ(cell(ViewMode::Bit, 2, 1).byte, 0x05);
  EXPECT_EQ(cell(ViewMode::Bit, 2, 0).kind, CellKind::Empty);
  EXPECT_EQ(cell(ViewMode::Bit, 0, 1).kind, CellKind::Empty);
  // Rows past the list show nothing.
  EXPECT_EQ(cell(ViewMode::Dec, 1, 4).kind, CellKind::Empty);
}

TEST(Cells, CaptionInABodyCellWhenEveryPacketIsEmpty) {
  const PacketList list = test::makeList({{}, {}});
  const CellContent c = DescribeCell(list, ViewMode::Dec, false, false, 0, 2);
  EXPECT_FALSE(c.fixed);
  EXPECT_EQ(c.text, "2 : 0");
}

TEST(Status, PanelTexts) {
  EXPECT_EQ(CountStatus({}), "Всего пакетов: 0");
  EXPECT_EQ(LengthStatus({}), "Длина мин: 0 макс: 0");
  EXPECT_EQ(LengthStatus(test::makeList({{1, 2}, {3}})), "Длина мин: 1 макс: 2");
  EXPECT_EQ(CellStatus(3, 2), "Текущая ячейка: пакет 3 байт 2 биты 9-16");
}

}  // namespace
}  // namespace pakscope
