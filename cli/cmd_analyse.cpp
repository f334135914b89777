#include <filesystem>
#include <iostream>

#include "commands.h"
#include "descriptions.h"
#include "open_file.h"
#include "protocols/protocol_loader.h"
#include "protocols/protocol_tree.h"

namespace pakscope::cli {

namespace {

struct AnalyseArgs {
  std::string file;
  std::string protocols;
  bool layers = false;
  unsigned threads = 0;  // 0: every core the process may use
  OpenOptions open;
};

void PrintItem(const ProtocolTreeItem& item, int level) {
  std::cout << std::string(2 * static_cast<size_t>(level), ' ') << item.label << '\n';
  for (const ProtocolTreeItem& child : item.children) PrintItem(child, level + 1);
}

int runAnalyse(const AnalyseArgs& args) {
  DescriptionHost host;
  const std::vector<std::filesystem::path> folders = descriptionFolders(args.protocols);
  TPrAnalizer analyser(folders, host);
  if (!analyser.loaded) {
    reportNoDescriptions(folders);
    return kExitFailure;
  }
  PacketList list;
  if (openForCli(args.file, list, host, args.open) == 0) {
    printError(args.file + ": ничего не загружено");
    return kExitFailure;
  }

  analyser.threads = args.threads == 0 ? UsableCores() : args.threads;
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
  command->add_option("--protocols", args->protocols, kProtocolsOptionText);
  command->add_flag("--layers", args->layers, "После дерева перечислить уровни каждого пакета");
  command
      ->add_option("--threads", args->threads,
                   "Потоков разбора, от 1 до 16 (по умолчанию все ядра, доступные программе)")
      ->check(CLI::Range(1u, 16u));
  addOpenOptions(*command, args->open);
  command->callback([args, &exitCode] { exitCode = runAnalyse(*args); });
}

}  // namespace pakscope::cli
