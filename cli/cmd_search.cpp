#include <cstdio>
#include <optional>

#include "commands.h"
#include "open_file.h"
#include "protocols/cp1251.h"
#include "tools/search_pattern.h"
#include "tools/sequence_search.h"

namespace pakscope::cli {

namespace {

struct SearchArgs {
  std::string file;
  std::optional<std::string> text, dec, hex;
  bool ignoreCase = false;
  bool all = false;
  OpenOptions open;
};

std::vector<uint8_t> patternOf(const SearchArgs& args) {
  if (!args.text && !args.dec && !args.hex)
    throw UsageError{"give the sequence with --text, --dec or --hex"};
  // What does not fit or cannot be written as Windows-1251 is refused, never cut or
  // turned into "?": the search would answer a question that was not asked.
  if (args.text) {
    if (const std::string_view c = FirstUnconvertible(*args.text); !c.empty())
      throw UsageError{"--text holds " + NameOfCharacter(c) +
                       ", a character Windows-1251 cannot hold"};
    if (PatternLength(SearchType::String, *args.text) > kMaxPatternTextChars)
      throw UsageError{"--text is longer than " + std::to_string(kMaxPatternTextChars) +
                       " characters"};
  }
  if (args.dec && PatternLength(SearchType::Dec, *args.dec) > kMaxPatternValues)
    throw UsageError{"--dec holds more than " + std::to_string(kMaxPatternValues) + " values"};
  if (args.hex && PatternLength(SearchType::Hex, *args.hex) > kMaxPatternValues)
    throw UsageError{"--hex holds more than " + std::to_string(kMaxPatternValues) + " values"};
  const std::vector<uint8_t> pattern = args.text  ? ParsePattern(SearchType::String, *args.text)
                                       : args.dec ? ParsePattern(SearchType::Dec, *args.dec)
                                                  : ParsePattern(SearchType::Hex, *args.hex);
  if (pattern.empty())
    throw UsageError{args.text  ? std::string("--text is empty")
                     : args.dec ? "--dec holds no value: decimal bytes of up to 3 characters, "
                                  "one space apart"
                                : "--hex holds no value: hexadecimal bytes of up to 2 "
                                  "characters, one space apart"};
  return pattern;
}

int runSearch(const SearchArgs& args) {
  const std::vector<uint8_t> pattern = patternOf(args);
  TerminalHost host;
  PacketList list;
  if (openForCli(args.file, list, host, args.open) == 0) {
    printError(args.file + ": nothing loaded");
    return kExitFailure;
  }
  std::string out;
  const auto flush = [&out] {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
  };
  // Positions are 1-based, as the packet window's status bar shows them.
  const auto print = [&](size_t row, size_t column) {
    out += std::to_string(row + 1) + ":" + std::to_string(column + 1) + "\n";
    if (out.size() > 65536) flush();
  };
  const SearchAllResult found =
      args.all ? ForEachOccurrence(list, pattern, args.ignoreCase, 0, 0, {})
               : ForEachOccurrence(list, pattern, args.ignoreCase, 0, 0, print);
  // The packet window's status text, for no match too; the exit status tells.
  if (args.all) out = OccurrencesText(found.occurrences, found.packets) + "\n";
  flush();
  if (std::fflush(stdout) != 0) return kExitFailure;
  return found.packets > 0 ? kExitOk : kExitFailure;
}

}  // namespace

void addSearchCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<SearchArgs>();
  CLI::App* command = app.add_subcommand(
      "search", "Find a byte sequence in the packets; exit 1 when it does not occur");
  command->add_option("FILE", args->file, "File to load")->required();
  auto* text = command->add_option("--text", args->text, "Text, searched as Windows-1251 bytes");
  auto* dec = command->add_option("--dec", args->dec, "Decimal byte values, e.g. \"1 2 3\"");
  auto* hex = command->add_option("--hex", args->hex, "Hexadecimal byte values, e.g. \"0A FF\"");
  text->excludes(dec)->excludes(hex);
  dec->excludes(hex);
  command->add_flag("--ignore-case", args->ignoreCase, "Fold Latin letters (with --text)")
      ->needs(text);
  command->add_flag("--all", args->all,
                    "Print the count of occurrences and packets instead of each position");
  addOpenOptions(*command, args->open);
  command->callback([args, &exitCode] { exitCode = runSearch(*args); });
}

}  // namespace pakscope::cli
