#include <filesystem>
#include <iostream>

#include "commands.h"
#include "descriptions.h"
#include "protocols/disassembler.h"
#include "protocols/pr_analizer.h"
#include "protocols/protocol_loader.h"
#include "terminal_host.h"

namespace pakscope::cli {

namespace {

int runProtocols(const std::string& protocols) {
  DescriptionHost host;
  const std::vector<std::filesystem::path> folders = descriptionFolders(protocols);
  ProtocolTables tables;
  std::vector<std::filesystem::path> sources;
  LoadProtocols(folders, tables, host, &sources);
  const TPrAnalizer analyser(std::move(tables));
  if (!analyser.loaded) {
    reportNoDescriptions(folders);
    return kExitFailure;
  }
  for (size_t p = 0; p < analyser.protocolCount(); ++p) {
    const auto number = static_cast<uint16_t>(p);
    std::cout << number << ' ' << analyser.protocolName(number) << '\n';
    // Which of the folders the description came from.
    if (p < sources.size()) std::cout << "  Файл: " << sources[p].string() << '\n';
    for (const std::string& line : DisassembleProtocol(analyser.protocols(), number))
      std::cout << "  " << line << '\n';
  }
  return kExitOk;
}

}  // namespace

void addProtocolsCommand(CLI::App& app, int& exitCode) {
  auto protocols = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "protocols", "Скомпилировать описания протоколов и вывести программу каждого протокола");
  command->add_option("--protocols", *protocols, kProtocolsOptionText);
  command->callback([protocols, &exitCode] { exitCode = runProtocols(*protocols); });
}

}  // namespace pakscope::cli
