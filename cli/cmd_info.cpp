#include <iostream>

#include "commands.h"
#include "open_file.h"
#include "packets/capture_time.h"

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
    if (longest == 0) {
      // Nothing on stdout for a file that gave nothing: what the loader said goes with the error.
      for (const std::string& text : host.status)
        if (!text.empty()) printError(file + ": " + text);
      printError(file + ": ничего не загружено");
      status = kExitFailure;
      continue;
    }
    std::cout << file << '\n';
    for (const std::string& text : host.status)
      if (!text.empty()) std::cout << "  " << text << '\n';
    // The packet window's count and length panels.
    std::cout << "  Всего пакетов: " << list.size() << '\n'
              << "  Длина мин: " << MinPacketLength(list) << " макс: " << MaxPacketLength(list)
              << '\n'
              << "  " << DescribeFormat(details) << '\n';
    if (const std::string span = DescribeCaptureSpan(list); !span.empty())
      std::cout << "  " << span << '\n';
  }
  return status;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<InfoArgs>();
  CLI::App* command = app.add_subcommand("info", "Открыть файлы и сообщить, что загружено");
  command->add_option("FILE", args->files, "Файлы пакетов или битовые файлы; - — стандартный ввод")
      ->required();
  addOpenOptions(*command, args->open);
  command->callback([args, &exitCode] { exitCode = runInfo(*args); });
}

}  // namespace pakscope::cli
