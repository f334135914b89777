#include "hdlc/open_any_file.h"

#include <charconv>
#include <string>
#include <thread>

#include "packets/file_kind.h"
#include "packets/packet_reader.h"

namespace pakscope {

namespace {

constexpr std::string_view kDefaultPeriod = "256";

void warn(CHost& host, std::string_view text) {
  host.messageBox(text, "Ошибка", MsgButtons::Ok, MsgIcon::Exclamation);
}

// Reports a conversion that could not read its input or write its output, and
// one that stopped at the size the loader reads. True when there is a packet
// file to read.
bool reportOutcome(CHost& host, BitFileResult result) {
  if (result == BitFileResult::Unreadable) warn(host, "Не удаётся открыть файл");
  if (result == BitFileResult::Unwritable) warn(host, "Не удаётся записать файл");
  if (result == BitFileResult::OutputFull)
    host.messageBox(
        "Файл пакетов достиг 800000000 байт, больше не загружается.\r\nОстаток битового "
        "файла не преобразован.",
        "Ограничение", MsgButtons::Ok, MsgIcon::Exclamation);
  return result == BitFileResult::Done || result == BitFileResult::OutputFull;
}

// Asks for the period and cuts the file; false when nothing is to be read.
bool packetizeSteps(const std::string& fileName, const std::string& outName, CHost& host,
                    const ConversionOptions& options) {
  const std::optional<std::string> answer =
      host.inputQuery("Введите период", "Введите период, бит", kDefaultPeriod);
  const std::optional<int32_t> period = ParsePeriod(answer ? *answer : kDefaultPeriod);
  if (!period) {
    warn(host, kBadPeriodText);
    return false;
  }
  host.showProgress(true);
  host.setStatus(0, "Производится пакетизация");
  const BitFileResult result = Packetize(
      fileName, outName, *period, [&host](ProgressRecord& r) { progressCallback(r, host); },
      options.outputLimit, options.reach);
  host.clearStop();
  host.showProgress(false);
  if (result == BitFileResult::NoPackets) {
    // Said of the input: no packet file was left to name.
    warn(host, "Файл \"" + fileName + "\" короче периода " + std::to_string(*period) +
                   " бит: пакетов нет.");
    return false;
  }
  return reportOutcome(host, result);
}

}  // namespace

std::optional<int32_t> ParsePeriod(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (value < 1 || value > kMaxPeriodBits) return std::nullopt;
  return static_cast<int32_t>(value);
}

void progressCallback(ProgressRecord& record, CHost& host) {
  record.stopMarker = host.stopRequested() ? kStopMarker : 0;
  if (record.total == 0) {
    // A stream of unknown size: no gauge to move, but STOP must get through.
    std::this_thread::yield();
    host.processEvents();
    return;
  }
  const uint64_t percent = record.done * 100 / record.total;
  // A file that others append to grows past the size taken at the start: the
  // gauge stays full, and events still run so that STOP can end the reading.
  const int position = percent > 100 ? 100 : static_cast<int>(percent);
  if (percent <= 100 && position == host.progress()) return;
  if (position != host.progress()) host.setProgress(position);
  std::this_thread::yield();
  host.processEvents();
}

std::optional<std::string> ConvertForOpen(const std::string& fileName, CHost& host, bool packetize,
                                          const ConversionOptions& options) {
  host.clearStop();
  const std::string outName = fileName + ".qpk";
  if (packetize) {
    if (!packetizeSteps(fileName, outName, host, options)) return std::nullopt;
    return outName;
  }
  if (PacketFileKindOf(fileName) != PacketFileKind::None) return fileName;
  const std::string ext = UpperExtension(fileName);
  if (ext != ".BIT" && ext != ".BIN" &&
      host.messageBox("Открыть как битовый файл?", "Вопрос", MsgButtons::YesNo,
                      MsgIcon::Question) != MsgResult::Yes)
    return std::nullopt;

  host.showProgress(true);
  host.setStatus(0, "Производится депакетизация");
  const BitFileResult result = Depacketize(
      fileName, outName, [&host](ProgressRecord& r) { progressCallback(r, host); },
      options.outputLimit, options.reach);
  host.clearStop();
  host.showProgress(false);
  if (result == BitFileResult::NotFound) {
    host.setStatus(0, "Протокол HDLC не обнаружен");
    if (host.messageBox("Протокол HDLC не обнаружен, выполнить пакетизацию файла?",
                        "Открытие файла", MsgButtons::YesNo, MsgIcon::Question) != MsgResult::Yes)
      return std::nullopt;
    if (!packetizeSteps(fileName, outName, host, options)) return std::nullopt;
  } else if (result == BitFileResult::NoPackets) {
    warn(host, "В файле \"" + fileName +
                   "\" найдена разметка HDLC, но ни одного кадра выделить не удалось.");
    return std::nullopt;
  } else if (!reportOutcome(host, result)) {
    return std::nullopt;
  }
  return outName;
}

uint32_t OpenAnyFile(const std::string& fileName, PacketList& list, CHost& host,
                     LoadDetails* details) {
  const std::optional<std::string> packetFile = ConvertForOpen(fileName, host, false);
  return packetFile ? OpenPacketFile(*packetFile, list, host, {}, details) : 0;
}

uint32_t OpenWithPacketization(const std::string& fileName, PacketList& list, CHost& host,
                               LoadDetails* details) {
  const std::optional<std::string> packetFile = ConvertForOpen(fileName, host, true);
  return packetFile ? OpenPacketFile(*packetFile, list, host, {}, details) : 0;
}

}  // namespace pakscope
