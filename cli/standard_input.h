#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pakscope::cli {

// Standard input copied, to its end, into a temporary file that the loaders
// read like any other: they map files and take the format from the name. A
// libpcap or pcapng capture is told by its first bytes; other content is
// taken as `format` ("qpk", "lqpk" or "bit"), since QPK and LQPK look alike.
// At most the loaders' 800,000,000 bytes are kept; the rest is read and
// dropped so that the writer of a pipe ends normally. The file, and the QPK
// file a bit-stream conversion writes beside it, go when the object goes (and
// on Ctrl+C, through the registry of temporary files).
class StandardInput {
 public:
  // Says on stderr why and returns nullopt when the copy cannot be made.
  static std::optional<StandardInput> Copy(std::string_view format);
  ~StandardInput();
  StandardInput(StandardInput&& other) noexcept;
  StandardInput& operator=(StandardInput&&) = delete;
  StandardInput(const StandardInput&) = delete;

  const std::string& path() const { return path_; }

 private:
  explicit StandardInput(std::string path);

  std::string path_;
  int slots_[2] = {-1, -1};
};

// Reads standard input to its end, keeping nothing.
void DrainStandardInput();

// The name a message gives standard input.
inline constexpr std::string_view kStandardInputName = "стандартный ввод";

}  // namespace pakscope::cli
