// A small file opened as the main window opens a bit file: depacketized, or
// packetized with a period taken from the input, then loaded. Whatever the
// bytes, the open ends, and what it loads came from the file.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "hdlc/open_any_file.h"

using namespace pakscope;

namespace {

// Answers Yes and the given period; shows nothing.
class FuzzHost : public CSilentHost {
 public:
  std::string period;
  MsgResult messageBox(std::string_view, std::string_view, MsgButtons buttons, MsgIcon) override {
    return buttons == MsgButtons::Ok ? MsgResult::Ok : MsgResult::Yes;
  }
  std::optional<std::string> inputQuery(std::string_view, std::string_view,
                                        std::string_view) override {
    return period;
  }
};

// The folder of this process for the run, removed when the fuzzer exits. It
// lies in a memory file system where there is one, and the input file stays
// open for the whole run, so that an input costs no disk and no open.
struct Folder {
  std::string path;
  std::string input;
  int fd = -1;
  Folder() {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec)
                                           ? std::filesystem::path("/dev/shm")
                                           : std::filesystem::temp_directory_path();
    path = (base / ("pakscope-fuzz-" + std::to_string(::getpid()))).string();
    std::filesystem::create_directories(path);
    input = path + "/in.dat";
    fd = ::open(input.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) std::abort();
  }
  ~Folder() {
    ::close(fd);
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  // The input file holds exactly `bytes`.
  void write(const uint8_t* bytes, size_t size) const {
    if (::ftruncate(fd, 0) != 0) std::abort();
    for (size_t done = 0; done < size;) {
      const ssize_t n = ::pwrite(fd, bytes + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
  }
};

const Folder& folder() {
  static const Folder folder;
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FuzzHost host;
  // Periods from 1 to 4096 bits, and now and then one that is refused.
  const unsigned period = (data[0] | (data[1] << 8)) % 4100;
  host.period = std::to_string(period);
  const std::string& file = folder().input;
  folder().write(data + 2, size - 2);
  PacketList list;
  const uint32_t longest =
      (data[0] & 0x80) ? OpenWithPacketization(file, list, host) : OpenAnyFile(file, list, host);
  uint64_t bytes = 0;
  for (const PACKET& p : list) bytes += p.length;
  if (longest > 4096 + 1 && longest > period / 8 + 1) std::abort();
  if (bytes > (size - 2) * 8 + 1) std::abort();  // packets of at least one bit of input each
  std::filesystem::remove(file + ".qpk");
  return 0;
}
