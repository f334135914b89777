#include "gui/app/recent_files.h"

#include <algorithm>

namespace pakscope {

void RecentFiles::add(const std::string& path) {
  std::erase(entries_, path);
  while (entries_.size() >= kCapacity) entries_.pop_back();
  entries_.insert(entries_.begin(), path);
}

void RecentFiles::append(const std::string& path) {
  if (entries_.size() < kCapacity) entries_.push_back(path);
}

std::string RecentFiles::Caption(const std::string& path) {
  // Start offsets of the UTF-8 characters.
  std::vector<size_t> starts;
  for (size_t i = 0; i < path.size(); ++i)
    if ((static_cast<unsigned char>(path[i]) & 0xC0) != 0x80) starts.push_back(i);
  if (starts.size() <= kCaptionTail) return path;
  return "......." + path.substr(starts[starts.size() - kCaptionTail]);
}

}  // namespace pakscope
