#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pakscope::test {

// A fresh folder under the system's temporary directory, removed with everything
// in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Path of a file inside the folder, as a string.
  std::string file(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);
void writeFile(const std::string& path, std::string_view text);
std::vector<uint8_t> readFile(const std::string& path);

}  // namespace pakscope::test
