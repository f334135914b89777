#include "open_file.h"

#include "hdlc/open_any_file.h"
#include "packets/memory_budget.h"

namespace pakscope::cli {

void addOpenOptions(CLI::App& command, OpenOptions& options) {
  command.add_flag("--yes", options.yes,
                   "Answer Yes to the questions of the open flow (open as a bit file, packetize)");
  command.add_option("--period", options.period,
                     "Answer to the period prompt of packetization, in bits (default 256)");
  command.add_flag("--packetize", options.packetize,
                   "Cut the file into packets of a fixed period instead of looking for HDLC");
}

uint32_t openForCli(const std::string& fileName, PacketList& list, TerminalHost& host,
                    const OpenOptions& options) {
  host.answerYes = options.yes;
  if (options.period) host.promptAnswer = *options.period;
  if (!CheckMemoryFor(host, LoadNeed(fileName), "Открытие файла")) return 0;
  return options.packetize ? OpenWithPacketization(fileName, list, host)
                           : OpenAnyFile(fileName, list, host);
}

}  // namespace pakscope::cli
