#include "commands.h"
#include "list_command.h"

namespace pakscope::cli {

void addConvertCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<ListArgs>();
  CLI::App* command =
      app.add_subcommand("convert", "Загрузить файл и записать его в другом формате");
  addListOptions(*command, *args);
  command->callback([args, &exitCode] { exitCode = rewriteInBatches(*args, {}); });
}

}  // namespace pakscope::cli
