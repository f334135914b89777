#include "protocols/protocol_loader.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
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
  std::sort(names.begin(), names.end());

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
