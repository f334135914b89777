#include "packets/packet_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <iterator>
#include <new>
#include <optional>
#include <thread>

#include "packets/fault_guard.h"
#include "packets/file_kind.h"
#include "packets/link_types.h"
#include "packets/memory_budget.h"
#include "packets/pcapng_parser.h"
#include "packets/record_parser.h"

namespace pakscope {

namespace {

constexpr std::string_view kCaptionError = "Ошибка";
constexpr std::string_view kCaptionLimit = "Ограничение";

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

std::string captionOf(PacketFileKind kind) {
  return kind == PacketFileKind::Pcapng ? "Ошибка чтения файла .pcapng"
                                        : "Ошибка чтения файла .pcap";
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

// How the records of one file are walked: the record walk for QPK, LQPK and
// libpcap, the block walk for pcapng.
struct WalkJob {
  std::span<const uint8_t> view;
  PacketFileKind kind;
  PacketList* list;  // null: count only
  PacketArena* arena;
  RecordCursor* cursor;
  PcapngState* pcapng;  // set for pcapng files
  WalkEnd end = WalkEnd::End;
  bool outOfMemory = false;
};

void runWalk(void* context) {
  auto* job = static_cast<WalkJob*>(context);
  // An exception must not leave the guarded frame by unwinding through it.
  try {
    job->end = job->pcapng != nullptr
                   ? WalkPcapngBlocks(job->view, job->list, *job->arena, *job->cursor, *job->pcapng)
                   : WalkRecords(job->view, job->kind, job->list, *job->arena, *job->cursor);
  } catch (const std::bad_alloc&) {
    job->outOfMemory = true;
    job->end = WalkEnd::End;
  }
}

// Grows the list ahead of the next stretch of records (at most 20,000 packets)
// instead of letting it double: to the count the records so far extrapolate
// to, with 3 % to spare (the spare room costs every packet its share), but never more than the rest
// of the view can hold, nor more than four times the packets read, since the first records may be
// far smaller than the rest.
void reserveAhead(PacketList& list, const RecordCursor& cursor, uint64_t viewSize,
                  uint64_t minimumRecord) {
  if (list.capacity() - list.size() >= kProgressPacketStep || cursor.count == 0) return;
  const uint64_t read = list.size();
  const uint64_t rest = (viewSize - std::min(cursor.offset, viewSize)) / minimumRecord + 1;
  const uint64_t extrapolated =
      viewSize / std::max<uint64_t>(cursor.offset / cursor.count, 1) * 33 / 32;
  uint64_t wanted = std::min({extrapolated, read * 4, read + rest});
  wanted = std::max(wanted, read + std::min<uint64_t>(kProgressPacketStep, rest));
  if (wanted <= list.capacity()) return;
  // The part of the new array the packets move into is mapped before they
  // do, so that the move does not take its pages one fault at a time; the
  // rest is mapped a huge frame at a time as the load goes on.
  PacketList grown;
  grown.reserve(HugePageRoundedCount(static_cast<size_t>(wanted), sizeof(PACKET)));
  PrepareBulkMemory(grown.data(), grown.capacity() * sizeof(PACKET), list.size() * sizeof(PACKET));
  std::move(list.begin(), list.end(), std::back_inserter(grown));
  list.swap(grown);
}

uint64_t minimumRecordOf(PacketFileKind kind) {
  switch (kind) {
    case PacketFileKind::Qpk: return 2;
    case PacketFileKind::Lqpk: return 4;
    case PacketFileKind::Pcap: return kPcapRecordHeaderSize;
    case PacketFileKind::Pcapng: return 16;  // a Simple Packet Block
    case PacketFileKind::None: break;
  }
  return 1;
}

// What tells a file rewritten in place from the one the load began with: a
// file cut and grown back to its size keeps the size but not its times.
struct FileIdentity {
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static std::optional<FileIdentity> of(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    return FileIdentity{st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  bool operator==(const FileIdentity& o) const {
    return inode == o.inode && size == o.size && modified.tv_sec == o.modified.tv_sec &&
           modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
           changed.tv_nsec == o.changed.tv_nsec;
  }
};

void yieldAndProcess(CHost& host) {
  std::this_thread::yield();
  host.processEvents();
}

// Where the walk of a file begins, once its header has been checked.
struct WalkStart {
  PacketFileKind kind = PacketFileKind::None;  // Pcap or Pcapng for captures
  RecordCursor cursor;
};

// Reads the header of a capture: the content, not the name, tells libpcap from
// pcapng. False (after the message) when the load ends here.
bool startCapture(std::span<const uint8_t> view, PacketFileKind named, CHost& host,
                  WalkStart& start, LoadDetails& details) {
  if (view.size() < kPcapHeaderSize) {
    warn(host, "Размер файла слишком мал!", captionOf(named));
    return false;
  }
  if (CheckPcapngHeader(view) != PcapngHeaderCheck::NotSectionHeader) {
    if (CheckPcapngHeader(view) == PcapngHeaderCheck::BadByteOrder) {
      warn(host, "Ошибка чтения заголовка!", captionOf(named));
      return false;
    }
    start.kind = PacketFileKind::Pcapng;
    details.format = PacketFormat::Pcapng;
    return true;
  }
  PcapVariant variant;
  switch (CheckPcapHeader(view, &variant)) {
    case PcapHeaderCheck::TooSmall:
    case PcapHeaderCheck::BadMagic:
      warn(host, "Ошибка чтения заголовка!", captionOf(named));
      return false;
    case PcapHeaderCheck::NoRecords:
    case PcapHeaderCheck::Ok: break;
  }
  details.format = PacketFormat::Pcap;
  details.bigEndian = variant.bigEndian;
  details.nanoseconds = variant.nanoseconds;
  details.linkTypes = {variant.linkType};
  if (view.size() < kPcapHeaderSize + kPcapRecordHeaderSize) return false;
  start.kind = PacketFileKind::Pcap;
  start.cursor = PcapCursor(variant);
  return true;
}

// The number of records that lie wholly within `view` (the part of the file
// that is left), walked from the same start as the load.
uint64_t countRecordsWithin(std::span<const uint8_t> view, const WalkStart& start) {
  RecordCursor cursor = start.cursor;
  PacketArena arena;
  PcapngState pcapng;
  WalkJob job{view,   start.kind, nullptr,
              &arena, &cursor,    start.kind == PacketFileKind::Pcapng ? &pcapng : nullptr};
  while (RunWithFaultGuard(view.data(), view.size(), runWalk, &job) && job.end != WalkEnd::End) {
  }
  return cursor.count;
}

ReadResult readPacketFile(PacketFileKind kind, const std::string& fileName, PacketList& list,
                          CHost& host, ReadMode mode, const ReaderOptions& options,
                          LoadDetails& details) {
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
             std::to_string(viewSize / 1'000'000) + "Мб\r\n" + std::string(kWholeFileHint),
         kCaptionLimit);
  }
  list.clear();
  // The handle stays open: after the walk it tells whether the file shrank.

  WalkStart start;
  start.kind = kind;
  if (kind == PacketFileKind::Pcap || kind == PacketFileKind::Pcapng) {
    if (!startCapture(view.bytes(), kind, host, start, details)) return result;
  } else {
    details.format = kind == PacketFileKind::Qpk ? PacketFormat::Qpk : PacketFormat::Lqpk;
  }

  RecordCursor cursor = start.cursor;
  PacketArena arena;
  PcapngState pcapng;
  WalkJob job{view.bytes(), start.kind, &list,
              &arena,       &cursor,    start.kind == PacketFileKind::Pcapng ? &pcapng : nullptr};
  const uint64_t minimumRecord = minimumRecordOf(start.kind);
  uint64_t populated = 0;
  // Taken after the mapping, then again at every pause of the walk: once the
  // file differs, only the records counted while it was still the same are sure.
  const std::optional<FileIdentity> identity = FileIdentity::of(file.get());
  uint64_t sureCount = 0;
  uint64_t sureOffset = cursor.offset;
  bool rewritten = false;
  const auto stillTheSame = [&] { return !identity || FileIdentity::of(file.get()) == identity; };
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
    if (job.outOfMemory) throw std::bad_alloc();
    if (job.end == WalkEnd::End) break;
    if (!stillTheSame()) {
      rewritten = true;
      break;
    }
    sureCount = cursor.count;
    sureOffset = cursor.offset;
    reserveAhead(list, cursor, viewSize, minimumRecord);
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
  if (start.kind == PacketFileKind::Pcapng) {
    details.interfaces = pcapng.interfacesSeen;
    details.linkTypes = pcapng.linkTypes;
  }
  result.longest = cursor.longest;
  result.consumed = cursor.offset;
  if (rewritten || !stillTheSame()) {
    if (sureCount < list.size())
      list.erase(list.begin() + static_cast<ptrdiff_t>(sureCount), list.end());
    result.longest = MaxPacketLength(list);
    result.consumed = sureOffset;
    details.fileShrank = true;
  }

  // A file cut while it was read leaves the rest of its last page as zeros in
  // the mapping: records read from there were never in the file.
  struct stat now {};
  if (::fstat(file.get(), &now) == 0 &&
      static_cast<uint64_t>(std::max<off_t>(now.st_size, 0)) < viewSize) {
    const auto left = static_cast<uint64_t>(std::max<off_t>(now.st_size, 0));
    const uint64_t keep = countRecordsWithin(view.bytes().first(left), start);
    if (keep < list.size()) list.erase(list.begin() + static_cast<ptrdiff_t>(keep), list.end());
    result.longest = MaxPacketLength(list);
    result.consumed = std::min(result.consumed, left);
    details.fileShrank = true;
  }
  result.completed = true;
  return result;
}

// Frees what a load built when memory ran out, and says so in the words every
// operation uses.
void reportOutOfMemory(PacketList& list, CHost& host, std::string_view operation) {
  PacketList().swap(list);
  ReportOutOfMemory(host, operation);
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
                        const ReaderOptions& options, LoadDetails* details) {
  host.clearStop();
  const PacketFileKind kind = PacketFileKindOf(fileName);
  if (kind == PacketFileKind::None) return 0;

  const auto start = std::chrono::steady_clock::now();
  host.showProgress(true);
  LoadDetails found;
  ReadResult result;
  try {
    result = readPacketFile(kind, fileName, list, host, ReadMode::Open, options, found);
  } catch (const std::bad_alloc&) {
    host.showProgress(false);
    reportOutOfMemory(list, host, "Открытие файла");
    return 0;
  }
  const bool shrank = found.fileShrank;
  if (details != nullptr) *details = std::move(found);
  if (!result.completed) {
    host.showProgress(false);
    list.clear();
    return 0;
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  host.setStatus(0, "Загружено пакетов: " + std::to_string(list.size()));
  host.setProgress(0);
  host.showProgress(false);
  host.setStatus(
      1, shrank ? std::string(kFileChangedText) : FormatLoadTime(elapsed.count(), result.consumed));
  return result.longest;
}

uint32_t AppendLoad(const std::string& fileName, PacketList& list, CHost& host,
                    const ReaderOptions& options, LoadDetails* details) {
  LoadDetails found;
  ReadResult result;
  try {
    result = readPacketFile(PacketFileKindOf(fileName), fileName, list, host, ReadMode::Append,
                            options, found);
  } catch (const std::bad_alloc&) {
    reportOutOfMemory(list, host, "Подгрузить файл");
    return 0;
  }
  if (!result.completed) {
    list.clear();
    return 0;
  }
  if (found.fileShrank) warn(host, kFileChangedText, kCaptionError);
  if (details != nullptr) *details = std::move(found);
  return result.longest;
}

bool StartCaptureWalk(std::span<const uint8_t> head, PacketFileKind named, CHost& host,
                      PacketFileKind& kind, RecordCursor& cursor, LoadDetails& details) {
  WalkStart start;
  if (!startCapture(head, named, host, start, details)) return false;
  kind = start.kind;
  cursor = start.cursor;
  return true;
}

std::string DescribeFormat(const LoadDetails& details) {
  std::string text = "Формат: ";
  switch (details.format) {
    case PacketFormat::None: return text + "нет";
    case PacketFormat::Qpk: return text + "QPK";
    case PacketFormat::Lqpk: return text + "LQPK";
    case PacketFormat::Pcap:
      text += "pcap (";
      text += details.nanoseconds ? "наносекунды, " : "микросекунды, ";
      text += details.bigEndian ? "big-endian)" : "little-endian)";
      break;
    case PacketFormat::Pcapng:
      text += "pcapng, интерфейсов: " + std::to_string(details.interfaces);
      break;
  }
  if (details.linkTypes.empty()) return text;
  text += ", тип данных: ";
  for (size_t i = 0; i < details.linkTypes.size(); ++i) {
    if (i != 0) text += ", ";
    text += LinkTypeName(details.linkTypes[i]);
  }
  return text;
}

}  // namespace pakscope
