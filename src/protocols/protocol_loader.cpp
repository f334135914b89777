#include "protocols/protocol_loader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
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

bool LoadProtocols(const std::filesystem::path& folder, ProtocolTables& tables, CHost& host) {
  tables.clear();
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
       it.increment(ec)) {
    // Devices and pipes are no descriptions: reading them could wait or never end.
    if (!it->is_regular_file(ec)) continue;
    std::string name = it->path().filename().string();
    if (HasDescriptionExtension(name)) names.push_back(std::move(name));
  }
  // Name order as a person reads the folder: letter case aside, then by bytes
  // so that the order never depends on the order of the folder's entries.
  std::vector<std::pair<std::string, std::string>> keyed;
  keyed.reserve(names.size());
  for (std::string& name : names) keyed.emplace_back(FoldCase(name), std::move(name));
  std::sort(keyed.begin(), keyed.end());
  names.clear();
  for (auto& [key, name] : keyed) names.push_back(std::move(name));

  uint32_t unnamedNumber = 1;
  std::vector<uint8_t> bytes;
  for (const std::string& name : names) {
    if (!ReadWholeFile(folder / name, bytes)) continue;
    if (CompileDescription(bytes, name, tables, unnamedNumber, host) ==
        CompileOutcome::LoadStopped) {
      tables.clear();
      return false;
    }
  }
  if (tables.count() == 0) return false;
  AppendBuiltInProtocols(tables);
  return true;
}

std::filesystem::path DefaultProtocolFolder() {
  const std::filesystem::path bin = ProgramFolder();
  if (bin.empty()) return "Data/Protocols";
  if (auto folder = FindDataFolder(bin, std::filesystem::path("Data") / "Protocols"))
    return *folder;
  return bin.parent_path() / "Data" / "Protocols";
}

}  // namespace pakscope
