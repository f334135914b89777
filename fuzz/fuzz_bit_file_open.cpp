// A small file opened as the main window opens a bit file: depacketized, or
// packetized with a period taken from the input, then loaded. Whatever the
// bytes, the open ends, and what it loads came from the file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// A folder of this process for the run, removed when the fuzzer exits.
struct Folder {
  std::string path =
      (std::filesystem::temp_directory_path() / ("pakscope-fuzz-" + std::to_string(::getpid())))
          .string();
  Folder() { std::filesystem::create_directories(path); }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

const std::string& folder() {
  static const Folder folder;
  return folder.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  FuzzHost host;
  // Periods from 1 to 4096 bits, and now and then one that is refused.
  const unsigned period = (data[0] | (data[1] << 8)) % 4100;
  host.period = std::to_string(period);
  const std::string file = folder() + "/in.dat";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));
  }
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
