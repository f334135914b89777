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
  unsigned threads = 0;  // 0: every core the process may use
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
    printError("no protocol description could be compiled from " + folder.string());
    return kExitFailure;
  }
  PacketList list;
  if (openForCli(args.file, list, host, args.open) == 0) {
    printError(args.file + ": nothing loaded");
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
  CLI::App* command =
      app.add_subcommand("analyse", "Split the packets of a file into protocol layers");
  command->add_option("FILE", args->file, "Packet or bit file")->required();
  command->add_option("--protocols", args->protocols,
                      "Folder of protocol descriptions (default: Data/Protocols by the program)");
  command->add_flag("--layers", args->layers, "After the tree, list the layers of every packet");
  command
      ->add_option("--threads", args->threads,
                   "Threads of the analysis, 1 to 16 (default: the cores the program may use)")
      ->check(CLI::Range(1u, 16u));
  addOpenOptions(*command, args->open);
  command->callback([args, &exitCode] { exitCode = runAnalyse(*args); });
}

}  // namespace pakscope::cli
