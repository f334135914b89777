#include "view/column_marks.h"

#include <gtest/gtest.h>

namespace pakscope {
namespace {

using Columns = std::vector<int32_t>;

TEST(ColumnMarks, CtrlClickTogglesInClickOrder) {
  ColumnMarks marks;
  marks.toggle(7);
  marks.toggle(3);
  EXPECT_EQ(marks.columns(), (Columns{7, 3}));
  EXPECT_TRUE(marks.isMarked(3));
  marks.toggle(7);
  EXPECT_EQ(marks.columns(), (Columns{3}));
  EXPECT_FALSE(marks.isMarked(7));
}

TEST(ColumnMarks, DragFollowsTheMouseAndDropsItsEarlierSteps) {
  ColumnMarks marks;
  marks.toggle(6);  // marked before the drag
  marks.toggle(12);
  marks.beginRange(9);
  marks.dragTo(5);
  EXPECT_EQ(marks.columns(), (Columns{5, 6, 7, 8, 9, 12}));
  marks.dragTo(7);
  // 5 and 6 belonged to the last step and go, even though 6 was marked before.
  EXPECT_EQ(marks.columns(), (Columns{7, 8, 9, 12}));
  marks.finishRange(7);
  EXPECT_FALSE(marks.rangeActive());
  EXPECT_EQ(marks.columns(), (Columns{7, 8, 9, 12}));
  // A later drag does not unmark the range a finished drag left.
  marks.beginRange(1);
  marks.dragTo(2);
  marks.dragTo(1);
  EXPECT_EQ(marks.columns(), (Columns{1, 7, 8, 9, 12}));
}

TEST(ColumnMarks, WithoutAnAnchorDragsChangeNothing) {
  ColumnMarks marks;
  marks.dragTo(4);
  marks.finishRange(4);
  EXPECT_TRUE(marks.columns().empty());
  marks.beginRange(4);
  marks.cancelRange();
  marks.dragTo(8);
  EXPECT_TRUE(marks.columns().empty());
}

}  // namespace
}  // namespace pakscope
