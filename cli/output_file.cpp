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
  command.add_option("OUT", args.output, "File to write, - for TXT on stdout")->required();
  command.add_option("--format", args.format,
                     "qpk, lqpk, bit, pcap or txt (default: OUT's extension)");
  command.add_option(
      "--linktype", args.linkType,
      "Link type of PCAP output: a name of the link-type table (ETHERNET) or a number");
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
                         ? "cannot tell the output format from '" + args.output + "'; use --format"
                         : "unknown format '" + args.format + "' (qpk, lqpk, bit, pcap, txt)"};
  if (target.toStdout && *format != 4)
    throw UsageError{"only --format txt can be written to stdout"};
  target.format = *format;
  if (*format == 3) {
    if (args.linkType.empty()) throw UsageError{"PCAP output needs --linktype NAME|NUMBER"};
    auto number = linkTypeNumber(args.linkType);
    if (!number) throw UsageError{"unknown link type '" + args.linkType + "'"};
    target.linkType = *number;
  }
  return target;
}

int writeOutput(const PacketList& list, const OutputArgs& args, const OutputTarget& target,
                TerminalHost& host) {
  if (target.toStdout) {
    ByteSink sink(STDOUT_FILENO);
    WritePackets(list, SaveFormat::Txt, 0, sink);
    if (!sink.flush()) {
      printError("cannot write to stdout");
      return kExitFailure;
    }
    return kExitOk;
  }
  return SaveWithMessages(list, args.output, target.format, target.linkType, host) ? kExitOk
                                                                                   : kExitFailure;
}

}  // namespace pakscope::cli
