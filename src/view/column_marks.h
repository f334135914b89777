#pragma once

#include <cstdint>
#include <vector>

namespace pakscope {

// The marked byte columns of a packet window (1-based column numbers) and the
// header gestures that change them: Ctrl+click toggles one column, Shift+drag
// along the header marks a range that follows the mouse until release.
class ColumnMarks {
 public:
  const std::vector<int32_t>& columns() const noexcept { return marked_; }
  bool isMarked(int32_t column) const noexcept;

  // Appends the column, or removes every occurrence of it when marked.
  void toggle(int32_t column);

  // A Shift+press on the header starts a range at `column`.
  void beginRange(int32_t column) noexcept { anchor_ = column; }
  void cancelRange() noexcept { anchor_ = -1; }
  bool rangeActive() const noexcept { return anchor_ != -1; }
  int32_t anchor() const noexcept { return anchor_; }

  // The mouse moved over header column `column` during the range: the columns
  // of the previous step are unmarked (even if marked before the drag), the new
  // range is marked, and the list is sorted without duplicates.
  void dragTo(int32_t column);
  // Release over header column `column`: the range is marked and the drag ends.
  void finishRange(int32_t column);

 private:
  void addRange(int32_t column, bool remember);
  void normalise();

  std::vector<int32_t> marked_;
  std::vector<int32_t> drag_;
  int32_t anchor_ = -1;
};

}  // namespace pakscope
