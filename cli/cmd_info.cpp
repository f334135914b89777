#include <iostream>

#include "commands.h"
#include "packet_input.h"

namespace pakscope::cli {

namespace {

struct InfoArgs {
  std::vector<std::string> files;
  InputOptions input;
};

int runInfo(const InfoArgs& args) {
  int status = kExitOk;
  for (const std::string& file : args.files) {
    TerminalHost host;
    InputSummary summary;
    const uint32_t longest = readInput(
        file, host, args.input, [](PacketList&, uint64_t) { return true; }, &summary);
    std::cout << file << '\n';
    for (const std::string& text : host.status)
      if (!text.empty()) std::cout << "  " << text << '\n';
    if (longest == 0) {
      printError(file + ": nothing loaded");
      status = kExitFailure;
      continue;
    }
    // The packet window's count and length panels.
    std::cout << "  Всего пакетов: " << summary.packets << '\n'
              << "  Длина мин: " << summary.shortest << " макс: " << summary.longest << '\n'
              << "  " << DescribeFormat(summary.details) << '\n';
  }
  return status;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<InfoArgs>();
  CLI::App* command = app.add_subcommand("info", "Open files and report what was loaded");
  command->add_option("FILE", args->files, "Packet or bit files")->required();
  addInputOptions(*command, args->input);
  command->callback([args, &exitCode] { exitCode = runInfo(*args); });
}

}  // namespace pakscope::cli
