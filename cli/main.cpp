#include <clocale>
#include <csignal>
#include <iostream>
#include <new>

#include "commands.h"
#include "packets/memory_budget.h"
#include "packets/temp_files.h"
#include "terminal_host.h"
#include "usage_texts.h"

namespace {

// Ctrl+C or a kill removes the files being written under temporary names,
// then ends the program by the same signal, as the caller expects.
void removeTemporaryFilesAndDie(int signal) {
  pakscope::temp_files::RemoveAll();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void removeTemporaryFilesOnSignals() {
  struct sigaction action {};
  action.sa_handler = removeTemporaryFilesAndDie;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored by whoever started us stays ignored.
    struct sigaction old {};
    if (sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Decimal separators in reports follow the user's locale.
  std::setlocale(LC_ALL, "");
  removeTemporaryFilesOnSignals();
  using namespace pakscope::cli;
  if (const auto badLimit = pakscope::MemoryLimitSettingError()) {
    printError(*badLimit);
    return kExitUsage;
  }

  CLI::App app{
      "pakscope-cli: файлы пакетов, битовые потоки и разбор протоколов из командной строки",
      "pakscope-cli"};
  app.set_version_flag("--version", std::string("pakscope-cli ") + PAKSCOPE_VERSION);
  app.require_subcommand(1);
  app.footer(
      "Имя файла - означает стандартный ввод или вывод.\n"
      "Код выхода: 0 — успех, 1 — файл не прочитан или не записан (или ничего не найдено),\n"
      "2 — ошибка в командной строке.\n"
      "Справка по команде: pakscope-cli КОМАНДА --help");

  int exitCode = kExitOk;
  addInfoCommand(app, exitCode);
  addConvertCommand(app, exitCode);
  addHdlcCommand(app, exitCode);
  addAnalyseCommand(app, exitCode);
  addProtocolsCommand(app, exitCode);
  addStatsCommand(app, exitCode);
  addSearchCommand(app, exitCode);
  addCutCommand(app, exitCode);
  addPadCommand(app, exitCode);
  addSelectCommand(app, exitCode);
  UseRussianTexts(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    printError(ParseErrorText(app, e, std::vector<std::string>(argv + 1, argv + argc)));
    const auto commands = app.get_subcommands();
    std::cerr << "Справка: pakscope-cli " << (commands.empty() ? "" : commands[0]->get_name() + " ")
              << "--help\n";
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
