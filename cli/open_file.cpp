#include "open_file.h"

#include "hdlc/open_any_file.h"
#include "packets/memory_budget.h"

namespace pakscope::cli {

void addOpenOptions(CLI::App& command, OpenOptions& options) {
  command.add_flag("--yes", options.yes,
                   "Answer Yes to the questions of the open flow (open as a bit file, packetize)");
  // A period that is none is a usage error, told before any file is touched.
  const CLI::Validator period(
      [](std::string& text) {
        return ParsePeriod(text) ? std::string() : std::string(kBadPeriodText);
      },
      "BITS");
  command
      .add_option("--period", options.period,
                  "Answer to the period prompt of packetization, in bits (default 256)")
      ->check(period);
  command.add_flag("--packetize", options.packetize,
                   "Cut the file into packets of a fixed period instead of looking for HDLC");
}

uint32_t openForCli(const std::string& fileName, PacketList& list, TerminalHost& host,
                    const OpenOptions& options, LoadDetails* details) {
  host.answerYes = options.yes;
  if (options.period) host.promptAnswer = *options.period;
  if (!CheckMemoryFor(host, LoadNeed(fileName), "Открытие файла")) return 0;
  LoadDetails found;
  const uint32_t longest = options.packetize ? OpenWithPacketization(fileName, list, host, &found)
                                             : OpenAnyFile(fileName, list, host, &found);
  if (found.fileShrank) printError(fileName + ": " + std::string(kFileChangedText));
  if (details != nullptr) *details = std::move(found);
  return longest;
}

}  // namespace pakscope::cli
