#include "open_file.h"

#include "packets/packet_reader.h"

namespace pakscope::cli {

void addOpenOptions(CLI::App& command, OpenOptions& options) {
  command.add_flag("--yes", options.yes, "Answer Yes to the questions of the open flow");
}

uint32_t openForCli(const std::string& fileName, PacketList& list, TerminalHost& host,
                    const OpenOptions& options) {
  host.answerYes = options.yes;
  return OpenPacketFile(fileName, list, host);
}

}  // namespace pakscope::cli
