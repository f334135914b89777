#include "view/grid_geometry.h"

#include <gtest/gtest.h>

#include <string>

namespace pakscope {
namespace {

// A packet grid as the packet window lays it out: caption column 80 wide,
// header row 17 high, body cells 30 x 20, one-pixel lines.
GridGeometry PacketGrid(int columns, int rows, int width = 400, int height = 300) {
  GridGeometry g;
  g.setCounts(columns, rows);
  g.setFixed(1, 1);
  g.setDefaultSizes(30, 20);
  g.setColumnWidth(0, 80);
  g.setRowHeight(0, 17);
  g.setViewport(width, height);
  return g;
}

TEST(GridGeometry, CellsAtPointsFollowSizesAndLines) {
  GridGeometry g = PacketGrid(100, 1000);
  struct Case {
    int x, y;
    GridCell cell;
  };
  const Case cases[] = {
      {0, 0, {0, 0}},   {80, 17, {0, 0}},  // the lines belong to the cell before them
      {81, 18, {1, 1}}, {111, 18, {1, 1}}, {112, 18, {2, 1}},
      {81, 38, {1, 1}}, {81, 39, {1, 2}},  {399, 299, {11, 14}},
      {-1, 5, {}},      {400, 5, {}},      {5, 300, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(g.cellAt(c.x, c.y), c.cell) << c.x << "," << c.y;
  EXPECT_EQ(g.cellRect(1, 1), (GridRect{81, 18, 111, 38}));
  EXPECT_EQ(g.cellRect(0, 3), (GridRect{0, 60, 80, 80}));
  EXPECT_TRUE(g.cellRect(50, 1).empty()) << "off to the right";
}

TEST(GridGeometry, ScrollingMovesBodyCellsButNotFixedOnes) {
  GridGeometry g = PacketGrid(100, 1000);
  g.scrollTo(10, 500);
  EXPECT_EQ(g.leftColumn(), 10);
  EXPECT_EQ(g.topRow(), 500);
  EXPECT_EQ(g.cellAt(81, 18), (GridCell{10, 500}));
  EXPECT_EQ(g.cellAt(5, 18), (GridCell{0, 500}));
  EXPECT_EQ(g.cellAt(81, 5), (GridCell{10, 0}));
  EXPECT_TRUE(g.cellRect(5, 499).empty()) << "scrolled out above";
  const GridRange r = g.visibleRange();
  EXPECT_EQ(r.firstRow, 500);
  EXPECT_EQ(r.lastRow, 500 + 13);  // (300 - 18) / 21 = 13.4: 14 rows reach in
  EXPECT_EQ(r.firstColumn, 10);
  EXPECT_EQ(r.lastColumn, 10 + 10);  // (400 - 81) / 31 = 10.3
}

TEST(GridGeometry, ScrollRangeEndsWithTheLastCellsWhollyShown) {
  GridGeometry g = PacketGrid(100, 1000);
  // 282 pixels for rows of pitch 21 hold 13 whole rows.
  EXPECT_EQ(g.maxTopRow(), 1000 - 13);
  EXPECT_EQ(g.wholeRowsFrom(1), 13);
  g.scrollTo(0, 1 << 30);
  EXPECT_EQ(g.topRow(), 987);
  EXPECT_EQ(g.maxLeftColumn(), 100 - 10);
  g.scrollTo(-5, -5);
  EXPECT_EQ(g.leftColumn(), 1) << "never into the fixed part";
  EXPECT_EQ(g.topRow(), 1);
  // A list shorter than the window does not scroll.
  GridGeometry small = PacketGrid(3, 4);
  EXPECT_EQ(small.maxTopRow(), 1);
  EXPECT_EQ(small.maxLeftColumn(), 1);
  // A cell wider than the whole view can still be scrolled to.
  GridGeometry wide = PacketGrid(5, 5, 100, 100);
  wide.setDefaultSizes(500, 20);
  EXPECT_EQ(wide.maxLeftColumn(), 4);
}

// Cells that exactly fill the room, and the same room one pixel short, for
// columns as for rows: fixed pitches 81 x 18, body pitches 31 x 21.
TEST(GridGeometry, ExactFitsOfColumnsAndRows) {
  struct Range {
    int columns, rows, width, height, maxLeft, maxTop;
  } ranges[] = {
      {100, 1000, 81 + 10 * 31, 18 + 13 * 21, 90, 987},
      {100, 1000, 81 + 10 * 31 - 1, 18 + 13 * 21 - 1, 91, 988},
      {11, 14, 81 + 10 * 31, 18 + 13 * 21, 1, 1},  // everything fits: no scrolling
      {11, 14, 81 + 10 * 31 - 1, 18 + 13 * 21 - 1, 2, 2},
  };
  for (const Range& r : ranges) {
    SCOPED_TRACE(std::to_string(r.columns) + " x " + std::to_string(r.rows) + " in " +
                 std::to_string(r.width) + " x " + std::to_string(r.height));
    const GridGeometry g = PacketGrid(r.columns, r.rows, r.width, r.height);
    EXPECT_EQ(g.maxLeftColumn(), r.maxLeft);
    EXPECT_EQ(g.maxTopRow(), r.maxTop);
  }
  struct Visible {
    int width, height, column, row, left, top;
  } visible[] = {
      {81 + 10 * 31, 18 + 13 * 21, 10, 13, 1, 1},  // the last whole cells: no scrolling
      {81 + 10 * 31, 18 + 13 * 21, 11, 14, 2, 2},
      {81 + 10 * 31 - 1, 18 + 13 * 21 - 1, 10, 13, 2, 2},  // partly shown
      {81 + 10 * 31 - 1, 18 + 13 * 21 - 1, 9, 12, 1, 1},
  };
  for (const Visible& v : visible) {
    SCOPED_TRACE(std::to_string(v.column) + "," + std::to_string(v.row) + " in " +
                 std::to_string(v.width) + " x " + std::to_string(v.height));
    GridGeometry g = PacketGrid(100, 1000, v.width, v.height);
    g.makeVisible(v.column, v.row);
    EXPECT_EQ(g.leftColumn(), v.left);
    EXPECT_EQ(g.topRow(), v.top);
  }
}

TEST(GridGeometry, SwitchingLinesOffChangesThePitch) {
  GridGeometry g = PacketGrid(100, 1000);
  g.setLines(false, false, true, true);
  EXPECT_EQ(g.columnPitch(1), 30);
  EXPECT_EQ(g.columnPitch(0), 81) << "fixed lines stay";
  EXPECT_EQ(g.cellAt(81 + 30, 18 + 20), (GridCell{2, 2}));
  g.setLineWidth(3);
  EXPECT_EQ(g.rowPitch(0), 20);
}

TEST(GridGeometry, NavigationKeysStayInsideTheBody) {
  GridGeometry g = PacketGrid(100, 1000);
  const GridCell start{5, 5};
  struct Case {
    GridKey key;
    GridCell from, to;
  };
  const Case cases[] = {
      {GridKey::Left, start, {4, 5}},      {GridKey::Left, {1, 5}, {1, 5}},
      {GridKey::Right, {99, 5}, {99, 5}},  {GridKey::Up, {5, 1}, {5, 1}},
      {GridKey::Down, {5, 999}, {5, 999}}, {GridKey::PageDown, start, {5, 18}},
      {GridKey::PageUp, start, {5, 1}},    {GridKey::PageDown, {5, 990}, {5, 999}},
      {GridKey::Home, start, {1, 5}},      {GridKey::End, start, {99, 5}},
      {GridKey::CtrlHome, start, {1, 1}},  {GridKey::CtrlEnd, start, {99, 999}},
      {GridKey::Down, {-1, -1}, {1, 1}},
  };
  for (const Case& c : cases) EXPECT_EQ(g.move(c.from, c.key), c.to) << static_cast<int>(c.key);
}

TEST(GridGeometry, MakeVisibleScrollsAsLittleAsNeeded) {
  GridGeometry g = PacketGrid(100, 1000);
  g.makeVisible(5, 13);
  EXPECT_EQ(g.topRow(), 1) << "row 13 is the last whole row already";
  g.makeVisible(5, 14);
  EXPECT_EQ(g.topRow(), 2);
  g.makeVisible(99, 999);
  EXPECT_EQ(g.topRow(), 987);
  EXPECT_EQ(g.leftColumn(), 90);
  EXPECT_EQ(g.cellAt(81 + 9 * 31, 18 + 12 * 21), (GridCell{99, 999}));
  g.makeVisible(3, 400);
  EXPECT_EQ(g.topRow(), 400);
  EXPECT_EQ(g.leftColumn(), 3);
}

TEST(GridGeometry, CountsAndFixedPartsAreClamped) {
  GridGeometry g;
  g.setCounts(0, -3);
  EXPECT_EQ(g.columnCount(), 1);
  EXPECT_EQ(g.rowCount(), 1);
  g.setFixed(1, 1);
  EXPECT_EQ(g.fixedColumns(), 0) << "a grid of one column has no fixed column";
  EXPECT_EQ(g.fixedRows(), 0);
  g.setCounts(2, 2);
  g.setFixed(5, 5);
  EXPECT_EQ(g.fixedColumns(), 1);
  EXPECT_EQ(g.fixedRows(), 1);
  g.setDefaultSizes(0, 0);
  EXPECT_EQ(g.defaultColumnWidth(), 1);
  g.setViewport(0, 0);
  EXPECT_FALSE(g.cellAt(0, 0).valid());
}

TEST(GridGeometry, QueriesOnMillionsOfRowsLookOnlyAtVisibleRows) {
  // Would take seconds per call if any query walked the rows from the top.
  GridGeometry g = PacketGrid(257, 40'000'001, 1920, 1080);
  for (int i = 0; i < 1000; ++i) {
    g.makeVisible(256, 40'000'000);
    g.scrollTo(1, 20'000'000);
    ASSERT_EQ(g.cellAt(81, 18).row, 20'000'000);
  }
  EXPECT_EQ(g.maxTopRow(), 40'000'001 - g.wholeRowsFrom(g.maxTopRow()));
}

}  // namespace
}  // namespace pakscope
