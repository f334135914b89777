#pragma once

#include <string>
#include <vector>

namespace pakscope {

// The recently opened files, most recent first, at most ten.
class RecentFiles {
 public:
  static constexpr size_t kCapacity = 10;
  static constexpr size_t kCaptionTail = 150;

  const std::vector<std::string>& entries() const noexcept { return entries_; }
  // Moves `path` to the front (exact comparison), dropping the oldest entry
  // when the list is full.
  void add(const std::string& path);
  // Appends while reading the stored list; ignored once full.
  void append(const std::string& path);
  void clear() noexcept { entries_.clear(); }

  // The menu caption: the path, or "......." and its last 150 characters when
  // it is longer than that. Characters, not bytes, so a Cyrillic path is never
  // cut inside a letter.
  static std::string Caption(const std::string& path);

 private:
  std::vector<std::string> entries_;
};

}  // namespace pakscope
