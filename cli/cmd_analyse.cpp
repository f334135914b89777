#include <filesystem>
#include <iostream>

#include "commands.h"
#include "open_file.h"
#include "protocols/protocol_loader.h"
#include "protocols/protocol_tree.h"

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

struct AnalyseArgs {
  std::string file;
  std::string protocols;
  bool layers = false;
  OpenOptions open;
};

void PrintItem(const ProtocolTreeItem& item, int level) {
  std::cout << std::string(2 * static_cast<size_t>(level), ' ') << item.label << '\n';
  for (const ProtocolTreeItem& child : item.children) PrintItem(child, level + 1);
}

int runAnalyse(const AnalyseArgs& args) {
  DescriptionHost host;
  const std::filesystem::path folder =
      args.protocols.empty() ? DefaultProtocolFolder() : std::filesystem::path(args.protocols);
  TPrAnalizer analyser(folder, host);
  if (!analyser.loaded) {
    printError("не удалось скомпилировать ни одного описания протоколов из " + folder.string());
    return kExitFailure;
  }
  PacketList list;
  if (openForCli(args.file, list, host, args.open) == 0) {
    printError(args.file + ": ничего не загружено");
    return kExitFailure;
  }

  int shown = -1;
  host.showProgress(true);
  analyser.progress = [&](int percent, void*) {
    if (percent != shown) host.setProgress(shown = percent);
  };
  analyser.AnalizePackets(list);
  host.showProgress(false);

  for (const ProtocolTreeItem& item : FillProtocolTree(analyser)) PrintItem(item, 0);
  if (args.layers) {
    for (size_t row = 0; row < list.size(); ++row) {
      std::cout << row + 1 << ':';
      for (const TPacketProtInfo& layer : list[row].layers())
        std::cout << ' ' << analyser.protocolName(layer.protocol) << '@' << layer.offset << '+'
                  << layer.headerLength;
      std::cout << '\n';
    }
  }
  return kExitOk;
}

}  // namespace

void addAnalyseCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<AnalyseArgs>();
  CLI::App* command = app.add_subcommand("analyse", "Разобрать пакеты файла на уровни протоколов");
  command->add_option("FILE", args->file, "Файл пакетов или битовый файл; - — стандартный ввод")
      ->required();
  command->add_option(
      "--protocols", args->protocols,
      "Папка описаний протоколов (по умолчанию — свои описания пользователя и поставляемые)");
  command->add_flag("--layers", args->layers, "После дерева перечислить уровни каждого пакета");
  addOpenOptions(*command, args->open);
  command->callback([args, &exitCode] { exitCode = runAnalyse(*args); });
}

}  // namespace pakscope::cli
