#include "standard_input.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "packets/temp_files.h"
#include "terminal_host.h"

namespace pakscope::cli {

namespace {

constexpr uint64_t kReadLimit = 800'000'000;  // as much as the loaders read of a file

// Reads what is there, up to `size`; 0 at the end, -1 on an error.
ssize_t readSome(uint8_t* data, size_t size) {
  for (;;) {
    const ssize_t n = ::read(STDIN_FILENO, data, size);
    if (n >= 0 || errno != EINTR) return n;
  }
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Fills `buffer` as far as the input goes; false on a read error.
bool readFull(std::vector<uint8_t>& buffer, size_t& got) {
  got = 0;
  while (got < buffer.size()) {
    const ssize_t n = readSome(buffer.data() + got, buffer.size() - got);
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return true;
}

// The extension the loaders read the content by.
const char* extensionFor(const uint8_t* head, size_t size, std::string_view format) {
  static const uint32_t kCaptureMagics[] = {0xA1B2C3D4, 0xD4C3B2A1, 0xA1B23C4D, 0x4D3CB2A1,
                                            0x0A0D0D0A};
  if (size >= 4) {
    const uint32_t magic = static_cast<uint32_t>(head[0]) << 24 |
                           static_cast<uint32_t>(head[1]) << 16 |
                           static_cast<uint32_t>(head[2]) << 8 | head[3];
    for (uint32_t known : kCaptureMagics)
      if (magic == known) return ".pcap";  // the content tells pcap from pcapng
  }
  if (format == "lqpk") return ".lqpk";
  if (format == "bit") return ".bit";
  return ".qpk";
}

std::string temporaryFolder() {
  const char* folder = std::getenv("TMPDIR");
  return folder != nullptr && *folder != '\0' ? folder : "/tmp";
}

}  // namespace

StandardInput::StandardInput(std::string path) : path_(std::move(path)) {
  slots_[0] = temp_files::Remember(path_);
  slots_[1] = temp_files::Remember(path_ + ".qpk");
}

StandardInput::StandardInput(StandardInput&& other) noexcept
    : path_(std::move(other.path_)), slots_{other.slots_[0], other.slots_[1]} {
  other.path_.clear();
  other.slots_[0] = other.slots_[1] = -1;
}

StandardInput::~StandardInput() {
  if (path_.empty()) return;
  ::unlink(path_.c_str());
  ::unlink((path_ + ".qpk").c_str());
  for (int slot : slots_) temp_files::Forget(slot);
}

std::optional<StandardInput> StandardInput::Copy(std::string_view format) {
  std::vector<uint8_t> buffer(1 << 20);
  size_t got = 0;
  if (!readFull(buffer, got)) {
    printError(std::string(kStandardInputName) + ": ошибка чтения");
    return std::nullopt;
  }
  const char* extension = extensionFor(buffer.data(), got, format);
  std::string name = temporaryFolder() + "/pakscope-stdin-XXXXXX" + extension;
  const int fd = ::mkstemps(name.data(), static_cast<int>(std::strlen(extension)));
  if (fd < 0) {
    printError(std::string(kStandardInputName) + ": не удаётся создать временный файл в " +
               temporaryFolder());
    DrainStandardInput();
    return std::nullopt;
  }
  StandardInput input(name);
  uint64_t kept = 0;
  bool longer = false, written = true;
  while (got > 0) {
    const size_t keep = static_cast<size_t>(std::min<uint64_t>(got, kReadLimit - kept));
    if (keep < got) longer = true;
    if (written && keep > 0) written = writeAll(fd, buffer.data(), keep);
    kept += keep;
    if (!readFull(buffer, got)) {
      printError(std::string(kStandardInputName) + ": ошибка чтения");
      ::close(fd);
      return std::nullopt;
    }
  }
  if (::close(fd) != 0) written = false;
  if (!written) {
    printError(std::string(kStandardInputName) + ": не удаётся записать временный файл в " +
               temporaryFolder());
    return std::nullopt;
  }
  if (longer)
    printError(std::string(kStandardInputName) +
               " длиннее 800000000 байт: прочитаны первые 800000000 байт");
  return input;
}

void DrainStandardInput() {
  std::vector<uint8_t> buffer(1 << 16);
  while (readSome(buffer.data(), buffer.size()) > 0) {
  }
}

}  // namespace pakscope::cli
