#include "output_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "commands.h"
#include "packets/byte_sink.h"
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
std::optional<uint32_t> captureLinkType(const PacketList& list, const OutputTarget& target) {
  ListLinkTypes found = LinkTypesOf(list);
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

}  // namespace

int writeOutput(const PacketList& list, const OutputArgs& args, const OutputTarget& target,
                TerminalHost& host) {
  uint32_t linkType = 0;
  if (target.format == 3 || target.format == 5) {
    const std::optional<uint32_t> chosen = captureLinkType(list, target);
    if (!chosen) return kExitFailure;
    linkType = *chosen;
    if (!FitsCaptureTools(list))
      printError("предупреждение: пакеты длиннее 262144 байт дают файл " +
                 formatName(target.format) +
                 ", который другие программы разбора не читают; их сохраняет LQPK");
  }
  if (target.toStdout) {
    if (target.format == static_cast<int>(SaveFormat::Qpk) && !FitsQpk(list)) {
      SaveWithMessages(list, "-", target.format, 0, host);  // says why
      return kExitFailure;
    }
    ByteSink sink(STDOUT_FILENO);
    if (target.format == 0) {
      WriteHeaderless(list, sink);
    } else {
      // Files keep the CR LF of the text format; a terminal or a pipe gets LF.
      if (target.format == static_cast<int>(SaveFormat::Txt)) sink.dropCarriageReturns();
      WritePackets(list, static_cast<SaveFormat>(target.format), linkType, sink);
    }
    if (!sink.flush()) {
      printError("Не удаётся записать в стандартный вывод");
      return kExitFailure;
    }
    return kExitOk;
  }
  return SaveWithMessages(list, args.output, target.format, linkType, host, LongCaptures::Write)
             ? kExitOk
             : kExitFailure;
}

}  // namespace pakscope::cli
