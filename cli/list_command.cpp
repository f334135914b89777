#include "list_command.h"

#include <iterator>

#include "commands.h"
#include "packets/memory_budget.h"

namespace pakscope::cli {

void addListOptions(CLI::App& command, ListArgs& args) {
  command.add_option("IN", args.input, "Файл для загрузки; - — стандартный ввод")->required();
  addOutputOptions(command, args.out);
  addInputOptions(command, args.read, "--in-format");
}

int rewriteList(const ListArgs& args, const ListMaker& make) {
  const OutputTarget target = resolveOutput(args.out);
  TerminalHost host;
  PacketList list;
  if (openForCli(args.input, list, host, args.read.open) == 0) {
    printError(args.input + ": ничего не загружено");
    return kExitFailure;
  }
  const std::optional<PacketList> made = make(list, host);
  if (!made) return kExitFailure;
  PacketOutput output(args.out, target, host);
  output.write(*made);
  return output.finish();
}

int rewriteInBatches(const ListArgs& args, const BatchMaker& make) {
  const OutputTarget target = resolveOutput(args.out);
  TerminalHost host;
  PacketOutput output(args.out, target, host);
  PacketList made;
  bool failed = false;
  const auto take = [&](PacketList& batch, uint64_t) {
    if (!make) {
      output.write(batch);
      return true;
    }
    made.clear();
    failed = !make(batch, made, host);
    if (!failed) output.write(made);
    return !failed;
  };
  if (readInput(args.input, host, args.read, take) == 0) {
    printError(args.input + ": ничего не загружено");
    return kExitFailure;
  }
  if (failed) return kExitFailure;
  return output.finish();
}

bool appendMade(std::optional<PacketList> part, PacketList& made) {
  if (!part) return false;
  if (made.empty()) {
    made = std::move(*part);
    return true;
  }
  made.insert(made.end(), std::make_move_iterator(part->begin()),
              std::make_move_iterator(part->end()));
  return true;
}

std::optional<PacketList> orOutOfMemory(std::optional<PacketList> made, TerminalHost& host,
                                        std::string_view operation) {
  if (!made) ReportOutOfMemory(host, operation);
  return made;
}

}  // namespace pakscope::cli
