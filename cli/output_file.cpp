#include "output_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "commands.h"
#include "packets/file_kind.h"
#include "packets/link_types.h"
#include "packets/packet_writer.h"

namespace pakscope::cli {

namespace {

// Writer format index of a name (0 = BIT), as the save dialog's types are numbered.
std::optional<int> formatIndex(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name == "qpk") return 1;
  if (name == "lqpk") return 2;
  if (name == "pcap") return 3;
  if (name == "pcapng") return 5;
  if (name == "txt") return 4;
  if (name == "bit") return 0;
  return std::nullopt;
}

// The link type a --linktype value names; the field holds 16 bits.
uint16_t linkTypeNumber(const std::string& text) {
  if (auto position = LinkTypePosition(text))
    return static_cast<uint16_t>(LinkTypeNumber(*position));
  uint64_t number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  const bool digits = !text.empty() && end == text.data() + text.size();
  if (digits && (ec == std::errc::result_out_of_range || (ec == std::errc() && number > 65535)))
    throw UsageError{"тип данных " + text + " вне диапазона 0–65535"};
  if (!digits || ec != std::errc()) throw UsageError{"неизвестный тип данных «" + text + "»"};
  return static_cast<uint16_t>(number);
}

std::string formatName(int format) {
  return format == 5 ? "PCAPNG" : "PCAP";
}

std::string linkTypeNames(const std::vector<uint16_t>& types) {
  std::string names;
  for (uint16_t type : types) names += (names.empty() ? "" : ", ") + LinkTypeName(type);
  return names;
}

}  // namespace

void addOutputOptions(CLI::App& command, OutputArgs& args) {
  command.add_option("OUT", args.output, "Файл для записи; - — стандартный вывод")->required();
  command.add_option("--format", args.format,
                     "qpk, lqpk, bit, pcap, pcapng или txt (по умолчанию по расширению OUT, "
                     "для - txt)");
  command.add_option("--linktype", args.linkType,
                     "Тип данных пакетов PCAP или PCAPNG, у которых его нет: имя из таблицы типов "
                     "(ETHERNET) или номер 0–65535");
}

OutputTarget resolveOutput(const OutputArgs& args) {
  OutputTarget target;
  target.toStdout = args.output == "-";
  std::optional<int> format;
  if (!args.format.empty())
    format = formatIndex(args.format);
  else if (target.toStdout)
    format = 4;
  else if (std::string ext = UpperExtension(args.output); ext.size() > 1)
    format = formatIndex(ext.substr(1));
  if (!format)
    throw UsageError{args.format.empty()
                         ? "по имени «" + args.output + "» формат не определить; задайте --format"
                         : "неизвестный формат «" + args.format +
                               "» (qpk, lqpk, bit, pcap, pcapng, txt)"};
  target.format = *format;
  if (!args.linkType.empty()) target.linkType = linkTypeNumber(args.linkType);
  return target;
}

namespace {

// The link type written for the list: the libpcap header's, or in pcapng the
// one of the packets without their own. nullopt (after the message) when a
// libpcap file cannot hold the list.
std::optional<uint32_t> captureLinkType(ListLinkTypes found, const OutputTarget& target) {
  if (found.without != 0) {
    if (!target.linkType)
      throw UsageError{"для записи " + formatName(target.format) +
                       " нужен --linktype ИМЯ|НОМЕР: у пакетов без типа данных (" +
                       std::to_string(found.without) + ") его нет"};
    if (std::find(found.types.begin(), found.types.end(), *target.linkType) == found.types.end())
      found.types.push_back(*target.linkType);
  }
  if (target.format == 3 && found.types.size() > 1) {
    printError("у пакетов несколько типов данных (" + linkTypeNames(found.types) +
               "), а файл PCAP хранит один: запишите PCAPNG (--format pcapng или имя .pcapng)");
    return std::nullopt;
  }
  if (target.format == 3 && !found.types.empty()) return found.types.front();
  return target.linkType.value_or(0);
}

constexpr int kPcap = static_cast<int>(SaveFormat::Pcap);
constexpr int kQpk = static_cast<int>(SaveFormat::Qpk);

}  // namespace

PacketOutput::PacketOutput(const OutputArgs& args, const OutputTarget& target, TerminalHost& host)
    : args_(args), target_(target), host_(host) {}

bool PacketOutput::refused() const {
  const bool capture = target_.format == kPcap || target_.format == 5;
  if (capture && linkTypes_.without != 0 && !target_.linkType) return true;
  if (target_.format == kPcap) {
    size_t types = linkTypes_.types.size();
    if (linkTypes_.without != 0 && !seenType_[*target_.linkType]) ++types;
    if (types > 1) return true;
  }
  return target_.format == kQpk && longest_ > kQpkMaxLength;
}

void PacketOutput::write(std::span<const PACKET> packets) {
  // Counted packet by packet, so that what goes out before a refusal does
  // not depend on where the input's batches happen to end.
  size_t writable = packets.size();
  for (size_t i = 0; i < packets.size(); ++i) {
    const PACKET& p = packets[i];
    longest_ = std::max(longest_, p.length);
    if (!p.hasLinkType) {
      ++linkTypes_.without;
    } else if (!seenType_[p.linkType]) {
      seenType_[p.linkType] = true;
      linkTypes_.types.push_back(p.linkType);
    }
    if (writable == packets.size() && refused()) writable = i;
  }
  packets_ += packets.size();
  packets = packets.first(writable);
  if (packets.empty() || unwritable_) return;
  if (sink_ == nullptr) {
    open(packets.front());
    if (unwritable_) return;
  }
  if (!sink_->ok()) return;
  // Packet by packet while held, to let go of the bytes soon after the bound.
  for (size_t i = 0; i < packets.size(); ++i) {
    if (!holding_) return encode(packets.subspan(i));
    encode(packets.subspan(i, 1));
    if (sink_->held() > kHoldBack) {
      // The header leaves memory now: it declares the longest packet gone out.
      declareSnapLength(longestWritten_);
      holding_ = false;
      sink_->release();
    }
  }
}

void PacketOutput::open(const PACKET& first) {
  if (target_.toStdout) {
    sink_ = &stdout_.emplace(STDOUT_FILENO);
    // Files keep the CR LF of the text format; a terminal or a pipe gets LF.
    if (target_.format == static_cast<int>(SaveFormat::Txt)) sink_->dropCarriageReturns();
    holding_ = true;
  } else {
    file_.emplace(args_.output);
    if (!file_->opened()) {
      unwritable_ = true;
      return;
    }
    sink_ = &file_->sink();
    holding_ = file_->inPlace();
  }
  if (holding_) sink_->holdBack();
  if (target_.format == 0) return;
  // A libpcap file holds one link type: the first packet's, or --linktype's
  // when it has none (any other mix is refused).
  uint32_t linkType = target_.linkType.value_or(0);
  if (target_.format == kPcap && first.hasLinkType) linkType = first.linkType;
  encoder_.emplace(*sink_, static_cast<SaveFormat>(target_.format), linkType, declared_);
}

void PacketOutput::encode(std::span<const PACKET> packets) {
  for (const PACKET& packet : packets) longestWritten_ = std::max(longestWritten_, packet.length);
  if (encoder_) return encoder_->write(packets);
  for (const PACKET& packet : packets) sink_->write(packet.bytes());
}

bool PacketOutput::declareSnapLength(uint32_t longest) {
  const uint32_t snap = std::max<uint32_t>(0xFFFF, longest);
  if (target_.format != kPcap || snap == declared_) return true;
  const uint8_t field[4] = {static_cast<uint8_t>(snap), static_cast<uint8_t>(snap >> 8),
                            static_cast<uint8_t>(snap >> 16), static_cast<uint8_t>(snap >> 24)};
  if (!sink_->patch(16, field)) return false;
  declared_ = snap;
  return true;
}

int PacketOutput::finish() {
  // An empty file would be one the program itself refuses to open.
  if (packets_ == 0) {
    printError(kNothingToSaveText);
    return kExitFailure;
  }
  if (target_.format == kPcap || target_.format == 5) {
    if (!captureLinkType(linkTypes_, target_)) return kExitFailure;
    if (longest_ > kCaptureToolsMaxLength)
      printError("предупреждение: пакеты длиннее 262144 байт дают файл " +
                 formatName(target_.format) +
                 ", который другие программы разбора не читают; их сохраняет LQPK");
  }
  if (target_.format == kQpk && longest_ > kQpkMaxLength) {
    ReportQpkLimit(host_);
    return kExitFailure;
  }
  if (sink_ != nullptr && sink_->ok() && !declareSnapLength(longest_))
    printError("предупреждение: заголовок PCAP уже выведен с длиной захвата " +
               std::to_string(declared_) + ", а самый длинный пакет — " + std::to_string(longest_) +
               " байт: другие программы могут обрезать такие пакеты; пишите в обычный файл");
  if (target_.toStdout) {
    if (!sink_->release()) {
      printError("Не удаётся записать в стандартный вывод");
      return kExitFailure;
    }
    return kExitOk;
  }
  if (unwritable_ || !file_->commit()) {
    ReportWriteFailure(args_.output, host_);
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace pakscope::cli
