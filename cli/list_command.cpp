#include "list_command.h"

#include "commands.h"
#include "packets/byte_sink.h"

namespace pakscope::cli {

void addListOptions(CLI::App& command, ListArgs& args) {
  command.add_option("IN", args.input, "Файл для загрузки; - — стандартный ввод")->required();
  addOutputOptions(command, args.out);
  addOpenOptions(command, args.open, "--in-format");
}

int rewriteList(const ListArgs& args, const ListMaker& make) {
  const OutputTarget target = resolveOutput(args.out);
  TerminalHost host;
  PacketList list;
  if (openForCli(args.input, list, host, args.open) == 0) {
    printError(args.input + ": ничего не загружено");
    return kExitFailure;
  }
  const std::optional<PacketList> made = make(list, host);
  if (!made) return kExitFailure;
  // An empty file would be one the program itself refuses to open.
  if (made->empty()) {
    printError(kNothingToSaveText);
    return kExitFailure;
  }
  return writeOutput(*made, args.out, target, host);
}

std::optional<PacketList> orOutOfMemory(std::optional<PacketList> made) {
  if (!made) printError("не хватает памяти для нового списка");
  return made;
}

}  // namespace pakscope::cli
