#include "view/column_marks.h"

#include <algorithm>

namespace pakscope {

bool ColumnMarks::isMarked(int32_t column) const noexcept {
  return std::find(marked_.begin(), marked_.end(), column) != marked_.end();
}

void ColumnMarks::toggle(int32_t column) {
  if (isMarked(column))
    std::erase(marked_, column);
  else
    marked_.push_back(column);
}

void ColumnMarks::normalise() {
  std::sort(marked_.begin(), marked_.end());
  marked_.erase(std::unique(marked_.begin(), marked_.end()), marked_.end());
}

void ColumnMarks::addRange(int32_t column, bool remember) {
  const int32_t from = std::min(anchor_, column), to = std::max(anchor_, column);
  for (int32_t c = from; c <= to; ++c) {
    if (remember) drag_.push_back(c);
    marked_.push_back(c);
  }
  normalise();
}

void ColumnMarks::dragTo(int32_t column) {
  if (anchor_ == -1) return;
  for (int32_t c : drag_) std::erase(marked_, c);
  drag_.clear();
  addRange(column, true);
}

void ColumnMarks::finishRange(int32_t column) {
  if (anchor_ == -1) return;
  drag_.clear();
  addRange(column, false);
  anchor_ = -1;
}

}  // namespace pakscope
