#include <iostream>

#include "commands.h"
#include "packet_input.h"
#include "packets/capture_time.h"

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
    CaptureSpanCounter span;
    const uint32_t longest = readInput(
        file, host, args.input,
        [&span](PacketList& batch, uint64_t) {
          span.add(batch);
          return true;
        },
        &summary);
    if (longest == 0) {
      // Nothing on stdout for a file that gave nothing: a load that failed
      // half-way leaves a packet count in the status that no list holds.
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
    std::cout << "  Всего пакетов: " << summary.packets << '\n'
              << "  Длина мин: " << summary.shortest << " макс: " << summary.longest << '\n'
              << "  " << DescribeFormat(summary.details) << '\n';
    if (const std::string text = span.describe(); !text.empty())
      std::cout << "  " << text << '\n';
  }
  return status;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<InfoArgs>();
  CLI::App* command = app.add_subcommand("info", "Открыть файлы и сообщить, что загружено");
  command->add_option("FILE", args->files, "Файлы пакетов или битовые файлы; - — стандартный ввод")
      ->required();
  addInputOptions(*command, args->input);
  command->callback([args, &exitCode] { exitCode = runInfo(*args); });
}

}  // namespace pakscope::cli
