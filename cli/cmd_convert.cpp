#include "commands.h"
#include "open_file.h"
#include "output_file.h"

namespace pakscope::cli {

namespace {

struct ConvertArgs {
  std::string input;
  OutputArgs out;
  OpenOptions open;
};

int runConvert(const ConvertArgs& args) {
  const OutputTarget target = resolveOutput(args.out);
  TerminalHost host;
  PacketList list;
  if (openForCli(args.input, list, host, args.open) == 0) {
    printError(args.input + ": nothing loaded");
    return kExitFailure;
  }
  return writeOutput(list, args.out, target, host);
}

}  // namespace

void addConvertCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<ConvertArgs>();
  CLI::App* command = app.add_subcommand("convert", "Load a file and write it in another format");
  command->add_option("IN", args->input, "File to load")->required();
  addOutputOptions(*command, args->out);
  addOpenOptions(*command, args->open);
  command->callback([args, &exitCode] { exitCode = runConvert(*args); });
}

}  // namespace pakscope::cli
