#include "packet_input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>

#include "packets/file_kind.h"
#include "packets/mapped_file.h"
#include "packets/packet_stream.h"
#include "packets/pcapng_parser.h"
#include "packets/record_parser.h"

namespace pakscope::cli {

namespace {

using Clock = std::chrono::steady_clock;

// "прочитано 1536 МБ, пакетов: 12000000, 850 МБ/с" on one line of stderr,
// redrawn at most ten times a second.
class ProgressLine {
 public:
  explicit ProgressLine(bool shown) : shown_(shown), start_(Clock::now()), drawn_(start_) {}
  ~ProgressLine() {
    if (shown_ && drawnOnce_) std::fputs("\r\033[K", stderr);
  }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void update(uint64_t bytes, uint64_t packets) {
    if (!shown_) return;
    const Clock::time_point now = Clock::now();
    if (now - drawn_ < std::chrono::milliseconds(100)) return;
    drawn_ = now;
    drawnOnce_ = true;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const auto rate = static_cast<unsigned long long>(double(bytes) / 1048576.0 / seconds);
    std::fprintf(stderr, "\r\033[Kпрочитано %llu МБ, пакетов: %llu, %llu МБ/с",
                 static_cast<unsigned long long>(bytes / 1048576),
                 static_cast<unsigned long long>(packets), rate);
    std::fflush(stderr);
  }
  double seconds() const { return std::chrono::duration<double>(Clock::now() - start_).count(); }

 private:
  bool shown_;
  Clock::time_point start_, drawn_;
  bool drawnOnce_ = false;
};

bool showProgress(const InputOptions& options) {
  if (options.noProgress) return false;
  return options.progress || ::isatty(STDERR_FILENO) == 1;
}

void countShortest(const PacketList& batch, InputSummary& summary) {
  if (batch.empty()) return;
  const uint32_t shortest = MinPacketLength(batch);
  summary.shortest = summary.packets == 0 ? shortest : std::min(summary.shortest, shortest);
  summary.packets += batch.size();
}

// The bit-file flow: the open flow converts the file, and the packet file it
// wrote is streamed like any other, so neither memory nor the load's limit
// bounds it.
uint32_t readThroughOpenFlow(const std::string& fileName, TerminalHost& host,
                             const InputOptions& options, const BatchHandler& handle,
                             InputSummary& summary) {
  const std::optional<ConvertedInput> converted = convertForCli(fileName, host, options.open);
  if (!converted) return 0;
  InputOptions packetFile = options;
  packetFile.open.packetize = false;
  packetFile.open.inputFormat = "qpk";
  return readInput(converted->packetFile, host, packetFile, handle, &summary);
}

}  // namespace

void addProgressOptions(CLI::App& command, InputOptions& options) {
  auto* on =
      command.add_flag("--progress", options.progress,
                       "Показывать в stderr прочитанные байты, пакеты и скорость (по умолчанию на терминале)");
  command.add_flag("--no-progress", options.noProgress, "Не показывать ход чтения, даже на терминале")
      ->excludes(on);
}

void addInputOptions(CLI::App& command, InputOptions& options, const std::string& formatFlag) {
  addOpenOptions(command, options.open, formatFlag);
  addProgressOptions(command, options);
}

uint32_t readInput(const std::string& fileName, TerminalHost& host, const InputOptions& options,
                   const BatchHandler& handle, InputSummary* summaryOut) {
  InputSummary ignored;
  InputSummary& summary = summaryOut != nullptr ? *summaryOut : ignored;
  summary = {};
  const bool standardInput = fileName == "-";
  PacketFileKind kind = standardInput ? PacketFileKind::None : PacketFileKindOf(fileName);
  // Standard input has no name to tell its format: the stream looks at its content.
  if (options.open.packetize || (kind == PacketFileKind::None && !standardInput) ||
      (standardInput && options.open.inputFormat == "bit"))
    return readThroughOpenFlow(fileName, host, options, handle, summary);

  FileHandle owned;
  int fd = STDIN_FILENO;
  if (!standardInput) {
    owned = FileHandle(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
    fd = owned.get();
  }
  struct stat info {};
  if (fd < 0 || ::fstat(fd, &info) != 0) {
    host.messageBox("Не удаётся открыть файл", "Ошибка", MsgButtons::Ok, MsgIcon::Exclamation);
    return 0;
  }
  if (S_ISDIR(info.st_mode)) {
    host.setStatus(0, "Ошибка открытия");
    return 0;
  }
  std::optional<uint64_t> size;
  if (S_ISREG(info.st_mode)) size = static_cast<uint64_t>(std::max<off_t>(info.st_size, 0));
  if (size == 0u) {
    host.setStatus(0, "Файл нулевого размера");
    return 0;
  }

  PacketStream stream(fd, kind, size);
  if (options.open.inputFormat == "lqpk") stream.readNonCapturesAs(PacketFileKind::Lqpk);
  ProgressLine progress(showProgress(options));
  bool started = stream.start(host);
  if (!started && stream.empty() && stream.readError() == 0) {
    host.setStatus(0, "Файл нулевого размера");
    return 0;
  }
  PacketList batch;
  uint64_t first = 0;
  while (started && stream.next(batch)) {
    countShortest(batch, summary);
    progress.update(stream.bytesRead(), stream.packets());
    const uint64_t count = batch.size();
    if (!handle(batch, first)) break;
    first += count;
  }
  summary.details = stream.details();
  if (stream.readError() != 0) {
    printError(fileName + ": " + std::strerror(stream.readError()));
    return 0;
  }
  if (!started) return 0;
  summary.longest = stream.longest();
  summary.details.fileShrank = stream.shortened();
  host.setStatus(0, "Загружено пакетов: " + std::to_string(stream.packets()));
  host.setStatus(1, stream.shortened() ? std::string(kFileChangedText)
                                       : FormatLoadTime(progress.seconds(), stream.consumed()));
  if (stream.shortened()) printError(fileName + ": " + std::string(kFileChangedText));
  return stream.longest();
}

}  // namespace pakscope::cli
