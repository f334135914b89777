#include <fcntl.h>
#include <sys/stat.h>

#include "commands.h"
#include "list_command.h"
#include "packets/file_kind.h"
#include "packets/mapped_file.h"
#include "packets/packet_stream.h"
#include "tools/packet_processing.h"

namespace pakscope::cli {

namespace {

// The longest packet of a packet file, found by reading it through once
// without a word to the user, so that padding to it can stream too. nullopt
// where the input cannot be read twice (standard input, a bit file, a pipe) or
// the first reading finds nothing sound: the whole load then says why.
std::optional<uint32_t> longestInFile(const ListArgs& args) {
  if (args.input == "-" || args.read.open.packetize) return std::nullopt;
  const PacketFileKind kind = PacketFileKindOf(args.input);
  if (kind == PacketFileKind::None) return std::nullopt;
  const FileHandle file(::open(args.input.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
  PacketStream stream(file.get(), kind, static_cast<uint64_t>(info.st_size));
  CSilentHost host;
  if (!stream.start(host)) return std::nullopt;
  PacketList batch;
  while (stream.next(batch)) {
  }
  if (stream.readError() != 0 || stream.shortened() || stream.longest() == 0) return std::nullopt;
  return stream.longest();
}

}  // namespace

void addCutCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<ListArgs>();
  auto settings = std::make_shared<CutSettings>();
  CLI::App* command = app.add_subcommand(
      "cut", "Отрезать байты (или биты) от начала и байты от конца каждого пакета");
  addListOptions(*command, *args);
  command
      ->add_option("--start", settings->start, "Сколько байт (с --bits — бит) отрезать от начала")
      ->required();
  auto* end = command->add_option("--end", settings->end, "Сколько байт отрезать от конца");
  command->add_flag("--bits", settings->byBits, "Отрезать от начала биты, а не байты")
      ->excludes(end);
  command->add_flag("--drop-short", settings->deleteShort,
                    "Удалять пакеты, слишком короткие для обрезки, а не оставлять их целыми");
  command->callback([args, settings, &exitCode] {
    exitCode = rewriteInBatches(*args, [&](PacketList& batch, PacketList& made,
                                           TerminalHost& host) {
      return appendMade(orOutOfMemory(CutPackets(batch, *settings), host, kUtilzPages[0]), made);
    });
  });
}

void addPadCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<ListArgs>();
  auto to = std::make_shared<std::optional<uint32_t>>();
  auto filler = std::make_shared<int64_t>(0);
  CLI::App* command = app.add_subcommand(
      "pad", "Сделать все пакеты одной длины: короткие дополнить, длинные обрезать");
  addListOptions(*command, *args);
  // The same range as the window's count field: a length of 0 would empty every packet.
  command
      ->add_option("--to", *to,
                   "Длина каждого пакета, 1..65535 (по умолчанию — длина самого длинного)")
      ->type_name("ЧИСЛО")
      ->check(CLI::Range(1u, 65535u).description(""));
  command->add_option("--filler", *filler,
                      "Байт-заполнитель, десятичный; берутся его младшие 8 бит");
  command->callback([args, to, filler, &exitCode] {
    const auto fill = static_cast<uint8_t>(*filler & 0xFF);
    // Without --to the longest packet of the whole file sets the length:
    // read through once for it where the file allows, else loaded whole.
    if (!to->has_value()) *to = longestInFile(*args);
    if (!to->has_value()) {
      exitCode = rewriteList(*args, [&](PacketList& list, TerminalHost& host) {
        return orOutOfMemory(PadPackets(list, PadTarget(list, true, 0), fill), host,
                             kUtilzPages[1]);
      });
      return;
    }
    exitCode = rewriteInBatches(*args, [&](PacketList& batch, PacketList& made,
                                           TerminalHost& host) {
      return appendMade(orOutOfMemory(PadPackets(batch, **to, fill), host, kUtilzPages[1]), made);
    });
  });
}

}  // namespace pakscope::cli
