#include "protocols/protocol_loader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "packets/data_paths.h"
#include "protocols/description_compiler.h"

namespace pakscope {

namespace {

bool HasDescriptionExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos) return false;
  std::string ext = fileName.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return ext == ".CFG";
}

// The name with Latin and Cyrillic capitals of its UTF-8 made small, so that
// byte order of the result is letter order without regard to case.
std::string FoldCase(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
      continue;
    }
    const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0u;
    if (c == 0xD0 && next >= 0x80 && next <= 0xAF) {
      // U+0400..U+042F: Ѐ..Џ become ѐ..џ (D1 90..9F), А..П а..п (D0 B0..BF),
      // Р..Я р..я (D1 80..8F).
      const unsigned code = 0x400 + (next - 0x80);
      const unsigned small = code < 0x410 ? code + 0x50 : code + 0x20;
      out += static_cast<char>(0xC0 | (small >> 6));
      out += static_cast<char>(0x80 | (small & 0x3F));
      ++i;
      continue;
    }
    out += static_cast<char>(c);
  }
  return out;
}

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

bool LoadProtocols(std::span<const std::filesystem::path> folders, ProtocolTables& tables,
                   CHost& host, std::vector<std::filesystem::path>* sources) {
  tables.clear();
  if (sources != nullptr) sources->clear();
  // By the name as a person reads a folder, letter case aside (ties by bytes,
  // so that the order never depends on the order of the folders' entries): a
  // file of an earlier folder hides one of the same name in a later folder.
  std::map<std::string, std::filesystem::path> files;
  std::set<std::string> taken;
  for (const std::filesystem::path& folder : folders) {
    std::vector<std::pair<std::string, std::filesystem::path>> found;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
      // Devices and pipes are no descriptions: reading them could wait or never end.
      if (!it->is_regular_file(ec)) continue;
      std::string name = it->path().filename().string();
      if (!HasDescriptionExtension(name)) continue;
      std::string key = FoldCase(name);
      if (taken.contains(key)) continue;
      found.emplace_back(std::move(key) + '\0' + name, it->path());
    }
    for (auto& [key, path] : found) {
      taken.insert(key.substr(0, key.find('\0')));
      files.emplace(std::move(key), std::move(path));
    }
  }

  uint32_t unnamedNumber = 1;
  std::vector<uint8_t> bytes;
  for (const auto& [key, path] : files) {
    if (!ReadWholeFile(path, bytes)) continue;
    // The full path, so that the user knows which of two folders holds the file.
    if (CompileDescription(bytes, path.string(), tables, unnamedNumber, host) ==
        CompileOutcome::LoadStopped) {
      tables.clear();
      if (sources != nullptr) sources->clear();
      return false;
    }
    if (sources != nullptr) sources->resize(tables.count(), path);
  }
  if (tables.count() == 0) {
    if (sources != nullptr) sources->clear();
    return false;
  }
  AppendBuiltInProtocols(tables);
  return true;
}

bool LoadProtocols(const std::filesystem::path& folder, ProtocolTables& tables, CHost& host) {
  return LoadProtocols(std::span(&folder, 1), tables, host);
}

std::vector<std::filesystem::path> DefaultProtocolFolders() {
  const std::filesystem::path user = UserDataFolder();
  if (user.empty()) return {DefaultProtocolFolder()};
  return {user / "Data" / "Protocols", DefaultProtocolFolder()};
}

std::filesystem::path DefaultProtocolFolder() {
  const std::filesystem::path bin = ProgramFolder();
  if (bin.empty()) return "Data/Protocols";
  if (auto folder = FindDataFolder(bin, std::filesystem::path("Data") / "Protocols"))
    return *folder;
  return bin.parent_path() / "Data" / "Protocols";
}

}  // namespace pakscope
