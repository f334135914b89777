#include "commands.h"
#include "list_command.h"
#include "tools/packet_processing.h"

namespace pakscope::cli {

void addCutCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<ListArgs>();
  auto settings = std::make_shared<CutSettings>();
  CLI::App* command = app.add_subcommand(
      "cut", "Cut bytes (or bits) off the start and bytes off the end of every packet");
  addListOptions(*command, *args);
  command->add_option("--start", settings->start, "Bytes (bits with --bits) cut from the start")
      ->required();
  auto* end = command->add_option("--end", settings->end, "Bytes cut from the end");
  command->add_flag("--bits", settings->byBits, "Cut bits from the start instead of bytes")
      ->excludes(end);
  command->add_flag("--drop-short", settings->deleteShort,
                    "Drop packets too short for the cut instead of keeping them whole");
  command->callback([args, settings, &exitCode] {
    exitCode = rewriteList(*args, [&](PacketList& list, TerminalHost& host) {
      return orOutOfMemory(CutPackets(list, *settings), host, kUtilzPages[0]);
    });
  });
}

void addPadCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<ListArgs>();
  auto to = std::make_shared<std::optional<uint32_t>>();
  auto filler = std::make_shared<int64_t>(0);
  CLI::App* command =
      app.add_subcommand("pad", "Make every packet equally long: fill up shorter, cut longer");
  addListOptions(*command, *args);
  // The same range as the window's count field: a length of 0 would empty every packet.
  command
      ->add_option("--to", *to, "Length of every packet, 1..65535 (default: the longest packet's)")
      ->check(CLI::Range(1u, 65535u));
  command->add_option("--filler", *filler, "Filler byte value, decimal; its low 8 bits are used");
  command->callback([args, to, filler, &exitCode] {
    exitCode = rewriteList(*args, [&](PacketList& list, TerminalHost& host) {
      return orOutOfMemory(PadPackets(list, PadTarget(list, !to->has_value(), to->value_or(0)),
                                      static_cast<uint8_t>(*filler & 0xFF)),
                           host, kUtilzPages[1]);
    });
  });
}

}  // namespace pakscope::cli
