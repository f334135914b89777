#include "packets/packet_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <thread>

#include "packets/fault_guard.h"
#include "packets/file_kind.h"
#include "packets/record_parser.h"

namespace pakscope {

namespace {

constexpr std::string_view kCaptionError = "Ошибка";
constexpr std::string_view kCaptionLimit = "Ограничение";
constexpr std::string_view kCaptionPcap = "Ошибка чтения файла .pcap";

enum class ReadMode { Open, Append };

// The file's pages are mapped this many bytes ahead of the reading.
constexpr uint64_t kPopulateStep = 32 << 20;

struct ReadResult {
  uint32_t longest = 0;
  uint64_t consumed = 0;
  bool completed = false;  // false: a failure ended the load with nothing read
};

void warn(CHost& host, std::string_view text, std::string_view caption) {
  host.messageBox(text, caption, MsgButtons::Ok, MsgIcon::Exclamation);
}

// Tries the view size, then the cap less one step at a time down to one step.
MappedView mapView(int fd, uint64_t viewSize, const ReaderOptions& options) {
  if (const void* address = options.map(fd, viewSize)) return {address, viewSize};
  if (options.stepDown == 0) return {};
  for (uint64_t size = options.sizeCap - options.sizeCap % options.stepDown;
       size >= options.stepDown; size -= options.stepDown) {
    // The first try asked for the whole view; more than the file holds can never be mapped.
    if (size >= viewSize) continue;
    if (const void* address = options.map(fd, size)) return {address, size};
  }
  return {};
}

struct WalkJob {
  std::span<const uint8_t> view;
  PacketFileKind kind;
  PacketList* list;
  PacketArena* arena;
  RecordCursor* cursor;
  WalkEnd end;
};

void runWalk(void* context) {
  auto* job = static_cast<WalkJob*>(context);
  job->end = WalkRecords(job->view, job->kind, *job->list, *job->arena, *job->cursor);
}

// Sizes the list once from the records read so far, instead of letting it grow
// by doubling: every doubling copies the list and touches fresh memory.
void reserveForTheRest(PacketList& list, const RecordCursor& cursor, uint64_t viewSize,
                       PacketFileKind kind) {
  const uint64_t minimumRecord = kind == PacketFileKind::Qpk    ? 2
                                 : kind == PacketFileKind::Lqpk ? 4
                                                                : 16;
  const uint64_t estimate =
      viewSize / std::max<uint64_t>(cursor.offset / cursor.count, 1) * 17 / 16;
  const uint64_t bound = viewSize / minimumRecord + 1;
  const auto wanted = static_cast<size_t>(std::min(estimate, bound));
  if (wanted <= list.capacity()) return;
  list.reserve(wanted);
}

void yieldAndProcess(CHost& host) {
  std::this_thread::yield();
  host.processEvents();
}

ReadResult readPacketFile(PacketFileKind kind, const std::string& fileName, PacketList& list,
                          CHost& host, ReadMode mode, const ReaderOptions& options) {
  ReadResult result;
  FileHandle file(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!file.valid() || ::fstat(file.get(), &info) != 0) {
    warn(host, "Не удаётся открыть файл", kCaptionError);
    return result;
  }
  const uint64_t fileSize = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
  if (fileSize == 0) {
    if (mode == ReadMode::Open)
      host.setStatus(0, "Файл нулевого размера");
    else
      warn(host, "Файл нулевого размера", kCaptionError);
    return result;
  }
  if (mode == ReadMode::Append && kind == PacketFileKind::None) return result;

  const bool truncated = fileSize > options.sizeCap;
  uint64_t viewSize = truncated ? options.sizeCap : fileSize;
  // Only a regular file can be mapped; anything else fails like a mapping object.
  if (!S_ISREG(info.st_mode) || viewSize > SIZE_MAX) {
    if (mode == ReadMode::Open) host.setStatus(0, "Ошибка открытия");
    return result;
  }
  MappedView view = mapView(file.get(), viewSize, options);
  if (!view.valid()) {
    warn(host, "Ошибка открытия файла!\r\nУвеличьте объем оперативной памяти.", kCaptionLimit);
    return result;
  }
  viewSize = view.bytes().size();
  if (truncated) {
    warn(host,
         "Размер файла слишком большой!\r\nРежим загрузки больших файлов ПОКА не "
         "поддерживается.\r\n      Будут загружены первые " +
             std::to_string(viewSize / 1'000'000) + "Мб",
         kCaptionLimit);
  }
  list.clear();
  file.close();

  RecordCursor cursor;
  if (kind == PacketFileKind::Pcap) {
    switch (CheckPcapHeader(view.bytes())) {
      case PcapHeaderCheck::TooSmall:
        warn(host, "Размер файла слишком мал!", kCaptionPcap);
        return result;
      case PcapHeaderCheck::BadMagic:
        warn(host, "Ошибка чтения заголовка!", kCaptionPcap);
        return result;
      case PcapHeaderCheck::NoRecords: return result;
      case PcapHeaderCheck::Ok: break;
    }
    cursor.offset = kPcapHeaderSize;
  }

  PacketArena arena;
  WalkJob job{view.bytes(), kind, &list, &arena, &cursor, WalkEnd::End};
  uint64_t populated = 0;
  for (;;) {
    if (cursor.offset + kPopulateStep / 2 >= populated) {
      populated = cursor.offset + kPopulateStep;
      view.populate(cursor.offset, kPopulateStep);
    }
    if (!RunWithFaultGuard(view.bytes().data(), viewSize, runWalk, &job)) {
      // The file shrank under the mapping: keep what was read completely.
      if (list.size() > cursor.count) list.pop_back();
      break;
    }
    if (job.end == WalkEnd::End) break;
    if (cursor.count == kProgressPacketStep) reserveForTheRest(list, cursor, viewSize, kind);
    cursor.progressMark = cursor.offset + kProgressByteStep;
    const bool redraw = cursor.count % kRedrawPacketStep == 0;
    if (mode == ReadMode::Open) {
      if (host.stopRequested()) break;
      host.setProgress(static_cast<int>(cursor.offset * 100 / viewSize));
      host.setStatus(0, "Загружено пакетов: " + std::to_string(cursor.count));
      yieldAndProcess(host);
      if (redraw) {
        yieldAndProcess(host);
        host.refreshFilledWindow(list, cursor.longest);
      }
    } else {
      yieldAndProcess(host);
      if (redraw) yieldAndProcess(host);
    }
  }
  result.longest = cursor.longest;
  result.consumed = cursor.offset;
  result.completed = true;
  return result;
}

}  // namespace

std::string FormatLoadTime(double seconds, uint64_t bytesConsumed, char decimalSeparator) {
  if (decimalSeparator == 0) {
    const lconv* conv = std::localeconv();
    decimalSeparator =
        conv && conv->decimal_point && conv->decimal_point[0] ? conv->decimal_point[0] : '.';
  }
  // Hundredths as an integer: the text must not depend on the C library's locale.
  const auto hundredths = static_cast<uint64_t>(seconds * 100.0 + 0.5);
  char number[48];
  std::snprintf(number, sizeof number, "%llu%c%02llu",
                static_cast<unsigned long long>(hundredths / 100), decimalSeparator,
                static_cast<unsigned long long>(hundredths % 100));
  return "Время загрузки " + std::string(number) + "сек (" +
         std::to_string(bytesConsumed / 1'048'576) + " МБ)";
}

uint32_t OpenPacketFile(const std::string& fileName, PacketList& list, CHost& host,
                        const ReaderOptions& options) {
  host.clearStop();
  const PacketFileKind kind = PacketFileKindOf(fileName);
  if (kind == PacketFileKind::None) return 0;

  const auto start = std::chrono::steady_clock::now();
  host.showProgress(true);
  const ReadResult result = readPacketFile(kind, fileName, list, host, ReadMode::Open, options);
  if (!result.completed) {
    host.showProgress(false);
    list.clear();
    return 0;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  host.setStatus(0, "Загружено пакетов: " + std::to_string(list.size()));
  host.setProgress(0);
  host.showProgress(false);
  host.setStatus(1, FormatLoadTime(elapsed.count(), result.consumed));
  return result.longest;
}

uint32_t AppendLoad(const std::string& fileName, PacketList& list, CHost& host,
                    const ReaderOptions& options) {
  const ReadResult result =
      readPacketFile(PacketFileKindOf(fileName), fileName, list, host, ReadMode::Append, options);
  if (!result.completed) {
    list.clear();
    return 0;
  }
  return result.longest;
}

}  // namespace pakscope
