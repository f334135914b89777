#include "list_command.h"

#include "commands.h"
#include "packets/memory_budget.h"

namespace pakscope::cli {

void addListOptions(CLI::App& command, ListArgs& args) {
  command.add_option("IN", args.input, "File to load")->required();
  addOutputOptions(command, args.out);
  addOpenOptions(command, args.open);
}

int rewriteList(const ListArgs& args, const ListMaker& make) {
  const OutputTarget target = resolveOutput(args.out);
  TerminalHost host;
  PacketList list;
  if (openForCli(args.input, list, host, args.open) == 0) {
    printError(args.input + ": nothing loaded");
    return kExitFailure;
  }
  const std::optional<PacketList> made = make(list, host);
  if (!made) return kExitFailure;
  return writeOutput(*made, args.out, target, host);
}

std::optional<PacketList> orOutOfMemory(std::optional<PacketList> made, TerminalHost& host,
                                        std::string_view operation) {
  if (!made) ReportOutOfMemory(host, operation);
  return made;
}

}  // namespace pakscope::cli
