#include <cstdio>
#include <optional>

#include "commands.h"
#include "packet_input.h"
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
  InputOptions input;
};

std::vector<uint8_t> patternOf(const SearchArgs& args) {
  if (!args.text && !args.dec && !args.hex)
    throw UsageError{"задайте последовательность: --text, --dec или --hex"};
  // What does not fit or cannot be written as Windows-1251 is refused, never cut or
  // turned into "?": the search would answer a question that was not asked.
  if (args.text) {
    if (const std::string_view c = FirstUnconvertible(*args.text); !c.empty())
      throw UsageError{"--text содержит символ " + NameOfCharacter(c) +
                       ", которого нет в кодировке Windows-1251"};
    if (PatternLength(SearchType::String, *args.text) > kMaxPatternTextChars)
      throw UsageError{"--text длиннее " + std::to_string(kMaxPatternTextChars) + " символов"};
  }
  if (args.dec && PatternLength(SearchType::Dec, *args.dec) > kMaxPatternValues)
    throw UsageError{"--dec содержит больше " + std::to_string(kMaxPatternValues) + " значений"};
  if (args.hex && PatternLength(SearchType::Hex, *args.hex) > kMaxPatternValues)
    throw UsageError{"--hex содержит больше " + std::to_string(kMaxPatternValues) + " значений"};
  const std::vector<uint8_t> pattern = args.text  ? ParsePattern(SearchType::String, *args.text)
                                       : args.dec ? ParsePattern(SearchType::Dec, *args.dec)
                                                  : ParsePattern(SearchType::Hex, *args.hex);
  if (pattern.empty())
    throw UsageError{args.text ? std::string("--text пуст")
                     : args.dec ? "--dec не содержит значений: десятичные байты до 3 цифр, "
                                  "через один пробел"
                                : "--hex не содержит значений: шестнадцатеричные байты до 2 "
                                  "цифр, через один пробел"};
  return pattern;
}

int runSearch(const SearchArgs& args) {
  const std::vector<uint8_t> pattern = patternOf(args);
  TerminalHost host;
  std::string out;
  const auto flush = [&out] {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
  };
  SearchAllResult found;
  uint64_t first = 0;
  // Positions are 1-based, as the packet window's status bar shows them.
  const auto print = [&](size_t row, size_t column) {
    out += std::to_string(first + row + 1) + ":" + std::to_string(column + 1) + "\n";
    if (out.size() > 65536) flush();
  };
  const auto search = [&](PacketList& batch, uint64_t batchFirst) {
    first = batchFirst;
    const SearchAllResult batchFound =
        args.all ? ForEachOccurrence(batch, pattern, args.ignoreCase, 0, 0, {})
                 : ForEachOccurrence(batch, pattern, args.ignoreCase, 0, 0, print);
    found.packets += batchFound.packets;
    found.occurrences += batchFound.occurrences;
    return true;
  };
  if (readInput(args.file, host, args.input, search) == 0) {
    out.clear();
    printError(args.file + ": ничего не загружено");
    return kExitFailure;
  }
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
      "search", "Найти последовательность байт в пакетах; код выхода 1, если её нет");
  command->add_option("FILE", args->file, "Файл для загрузки; - — стандартный ввод")->required();
  auto* text = command->add_option("--text", args->text, "Текст, ищется как байты Windows-1251");
  auto* dec =
      command->add_option("--dec", args->dec, "Десятичные значения байт, например \"1 2 3\"");
  auto* hex = command->add_option("--hex", args->hex,
                                  "Шестнадцатеричные значения байт, например \"0A FF\"");
  text->excludes(dec)->excludes(hex);
  dec->excludes(hex);
  command
      ->add_flag("--ignore-case", args->ignoreCase,
                 "Не различать регистр латинских букв (с --text)")
      ->needs(text);
  command->add_flag("--all", args->all, "Вывести число вхождений и пакетов вместо каждого места");
  addInputOptions(*command, args->input);
  command->callback([args, &exitCode] { exitCode = runSearch(*args); });
}

}  // namespace pakscope::cli
