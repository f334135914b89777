#include <filesystem>
#include <iostream>

#include "commands.h"
#include "protocols/disassembler.h"
#include "protocols/pr_analizer.h"
#include "protocols/protocol_loader.h"
#include "terminal_host.h"

namespace pakscope::cli {

namespace {

// The compiler's messages separate their lines with CR, as message boxes do;
// on a terminal each line gets a line of its own.
class DescriptionHost : public TerminalHost {
 public:
  MsgResult messageBox(std::string_view text, std::string_view caption, MsgButtons buttons,
                       MsgIcon icon) override {
    std::string lines(text);
    for (char& c : lines)
      if (c == '\r') c = '\n';
    return TerminalHost::messageBox(lines, caption, buttons, icon);
  }
};

int runProtocols(const std::string& protocols) {
  DescriptionHost host;
  const std::filesystem::path folder =
      protocols.empty() ? DefaultProtocolFolder() : std::filesystem::path(protocols);
  const TPrAnalizer analyser(folder, host);
  if (!analyser.loaded) {
    printError("не удалось скомпилировать ни одного описания протоколов из " + folder.string());
    return kExitFailure;
  }
  for (size_t p = 0; p < analyser.protocolCount(); ++p) {
    const auto number = static_cast<uint16_t>(p);
    std::cout << number << ' ' << analyser.protocolName(number) << '\n';
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
  command->add_option(
      "--protocols", *protocols,
      "Папка описаний протоколов (по умолчанию — свои описания пользователя и поставляемые)");
  command->callback([protocols, &exitCode] { exitCode = runProtocols(*protocols); });
}

}  // namespace pakscope::cli
