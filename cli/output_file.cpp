#include "output_file.h"

#include <unistd.h>

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
  if (name == "txt") return 4;
  if (name == "bit") return 0;
  return std::nullopt;
}

std::optional<uint32_t> linkTypeNumber(const std::string& text) {
  if (auto position = LinkTypePosition(text)) return LinkTypeNumber(*position);
  uint32_t number = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (ec == std::errc() && end == text.data() + text.size() && !text.empty()) return number;
  return std::nullopt;
}

}  // namespace

void addOutputOptions(CLI::App& command, OutputArgs& args) {
  command.add_option("OUT", args.output, "Файл для записи; - — стандартный вывод")->required();
  command.add_option("--format", args.format,
                     "qpk, lqpk, bit, pcap или txt (по умолчанию по расширению OUT, для - txt)");
  command.add_option("--linktype", args.linkType,
                     "Тип данных файла PCAP: имя из таблицы типов (ETHERNET) или номер");
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
                         : "неизвестный формат «" + args.format + "» (qpk, lqpk, bit, pcap, txt)"};
  target.format = *format;
  if (*format == 3) {
    if (args.linkType.empty()) throw UsageError{"для записи PCAP нужен --linktype ИМЯ|НОМЕР"};
    auto number = linkTypeNumber(args.linkType);
    if (!number) throw UsageError{"неизвестный тип данных «" + args.linkType + "»"};
    target.linkType = *number;
  }
  return target;
}

int writeOutput(const PacketList& list, const OutputArgs& args, const OutputTarget& target,
                TerminalHost& host) {
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
      WritePackets(list, static_cast<SaveFormat>(target.format), target.linkType, sink);
    }
    if (!sink.flush()) {
      printError("Не удаётся записать в стандартный вывод");
      return kExitFailure;
    }
    return kExitOk;
  }
  return SaveWithMessages(list, args.output, target.format, target.linkType, host) ? kExitOk
                                                                                   : kExitFailure;
}

}  // namespace pakscope::cli
