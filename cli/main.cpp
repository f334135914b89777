#include <clocale>
#include <iostream>
#include <new>

#include "commands.h"
#include "packets/memory_budget.h"
#include "terminal_host.h"

int main(int argc, char** argv) {
  // Decimal separators in reports follow the user's locale.
  std::setlocale(LC_ALL, "");
  using namespace pakscope::cli;

  CLI::App app{"pakscope-cli: packet files, bit streams and protocol analysis from the shell",
               "pakscope-cli"};
  app.set_version_flag("--version", std::string("pakscope-cli ") + PAKSCOPE_VERSION);
  app.require_subcommand(1);

  int exitCode = kExitOk;
  addInfoCommand(app, exitCode);
  addConvertCommand(app, exitCode);
  addHdlcCommand(app, exitCode);
  addAnalyseCommand(app, exitCode);
  addProtocolsCommand(app, exitCode);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    printError(e.what());
    std::cerr << "Run with --help for usage.\n";
    return kExitUsage;
  } catch (const UsageError& e) {
    printError(e.message);
    return kExitUsage;
  } catch (const std::bad_alloc&) {
    // Whatever the command built is freed on the way here.
    const auto commands = app.get_subcommands();
    TerminalHost host;
    pakscope::ReportOutOfMemory(
        host, commands.empty() ? "pakscope-cli" : "pakscope-cli " + commands[0]->get_name());
    return kExitFailure;
  }
  return exitCode;
}
