#pragma once

#include <unistd.h>

#include <string>

#include "packets/mapped_file.h"

namespace pakscope::test {

// A mapping call for ReaderOptions: maps the file, then cuts it to `keep` bytes
// as another process could while the loader reads it.
struct ShrinkingMap {
  std::string path;
  off_t keep;
  const void* operator()(int fd, size_t length) const {
    const void* address = MapReadOnly(fd, length);
    if (address != nullptr && ::truncate(path.c_str(), keep) != 0) return nullptr;
    return address;
  }
};

}  // namespace pakscope::test
