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
    throw UsageError{"link type " + text + " is out of range (0-65535)"};
  if (!digits || ec != std::errc()) throw UsageError{"unknown link type '" + text + "'"};
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
  command.add_option("OUT", args.output, "File to write, - for TXT on stdout")->required();
  command.add_option("--format", args.format,
                     "qpk, lqpk, bit, pcap, pcapng or txt (default: OUT's extension)");
  command.add_option("--linktype", args.linkType,
                     "Link type of the PCAP or PCAPNG packets that carry none: a name of the "
                     "link-type table (ETHERNET) or a number 0-65535");
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
                         : "unknown format '" + args.format +
                               "' (qpk, lqpk, bit, pcap, pcapng, txt)"};
  if (target.toStdout && *format != 4)
    throw UsageError{"only --format txt can be written to stdout"};
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
      throw UsageError{formatName(target.format) + " output needs --linktype NAME|NUMBER: " +
                       std::to_string(found.without) + " packets have no link type"};
    if (std::find(found.types.begin(), found.types.end(), *target.linkType) == found.types.end())
      found.types.push_back(*target.linkType);
  }
  if (target.format == 3 && found.types.size() > 1) {
    printError("the packets have several link types (" + linkTypeNames(found.types) +
               "), and a PCAP file holds one: write PCAPNG (--format pcapng or a .pcapng name)");
    return std::nullopt;
  }
  if (target.format == 3 && !found.types.empty()) return found.types.front();
  return target.linkType.value_or(0);
}

}  // namespace

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
  uint32_t linkType = 0;
  if (target.format == 3 || target.format == 5) {
    const std::optional<uint32_t> chosen = captureLinkType(list, target);
    if (!chosen) return kExitFailure;
    linkType = *chosen;
    if (!FitsCaptureTools(list))
      printError("warning: packets longer than 262144 bytes make a " + formatName(target.format) +
                 " file that other capture tools refuse; LQPK keeps them");
  }
  return SaveWithMessages(list, args.output, target.format, linkType, host, LongCaptures::Write)
             ? kExitOk
             : kExitFailure;
}

}  // namespace pakscope::cli
