#include <iostream>

#include "commands.h"
#include "open_file.h"

namespace pakscope::cli {

namespace {

struct InfoArgs {
  std::vector<std::string> files;
  OpenOptions open;
};

int runInfo(const InfoArgs& args) {
  int status = kExitOk;
  for (const std::string& file : args.files) {
    TerminalHost host;
    PacketList list;
    LoadDetails details;
    const uint32_t longest = openForCli(file, list, host, args.open, &details);
    // Standard output describes loaded files only: a load that failed half-way
    // leaves a packet count in the status that no list holds.
    std::ostream& out = longest == 0 ? std::cerr : std::cout;
    if (longest == 0)
      printError(file + ": nothing loaded");
    else
      out << file << '\n';
    for (const std::string& text : host.status)
      if (!text.empty()) out << "  " << text << '\n';
    if (longest == 0) {
      status = kExitFailure;
      continue;
    }
    // The packet window's count and length panels.
    std::cout << "  Всего пакетов: " << list.size() << '\n'
              << "  Длина мин: " << MinPacketLength(list) << " макс: " << MaxPacketLength(list)
              << '\n'
              << "  " << DescribeFormat(details) << '\n';
  }
  return status;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<InfoArgs>();
  CLI::App* command = app.add_subcommand("info", "Open files and report what was loaded");
  command->add_option("FILE", args->files, "Packet or bit files")->required();
  addOpenOptions(*command, args->open);
  command->callback([args, &exitCode] { exitCode = runInfo(*args); });
}

}  // namespace pakscope::cli
