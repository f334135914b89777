#include <algorithm>
#include <charconv>

#include "commands.h"
#include "list_command.h"
#include "tools/filter_records.h"
#include "tools/packet_processing.h"

namespace pakscope::cli {

namespace {

struct SelectArgs {
  ListArgs list;
  std::string keywords;
  bool ignoreCase = false;
  std::vector<std::string> values;
  std::vector<int64_t> lengths;
};

// A decimal or 0x-hexadecimal number within [low, high].
std::optional<int64_t> numberIn(std::string_view text, int64_t low, int64_t high) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value < low ||
      value > high)
    return std::nullopt;
  return value;
}

// BYTE:MASK:VALUE as a value record.
std::unique_ptr<TFilterRecord> valueRecord(const std::string& argument) {
  const size_t first = argument.find(':');
  const size_t second = first == std::string::npos ? first : argument.find(':', first + 1);
  if (second != std::string::npos && argument.find(':', second + 1) == std::string::npos) {
    const std::string_view text(argument);
    const auto byte = numberIn(text.substr(0, first), 1, INT32_MAX);
    const auto mask = numberIn(text.substr(first + 1, second - first - 1), 0, 255);
    const auto value = numberIn(text.substr(second + 1), 0, 255);
    if (byte && mask && value)
      return std::make_unique<TFilterByValueRecord>(
          static_cast<int32_t>(*byte), static_cast<uint8_t>(*mask), static_cast<uint8_t>(*value));
  }
  throw UsageError{"--value «" + argument +
                   "» — не БАЙТ:МАСКА:ЗНАЧЕНИЕ (номер байта от 1, маска и значение 0..255)"};
}

int runSelect(const SelectArgs& args) {
  if (args.keywords.empty() && args.values.empty() && args.lengths.empty())
    throw UsageError{"задайте --keywords, --value или --length"};
  FilterRecordList records;
  for (const std::string& argument : args.values) records.push_back(valueRecord(argument));
  for (int64_t length : args.lengths) {
    if (length < 0 || length > INT32_MAX)
      throw UsageError{"--length " + std::to_string(length) + " — не длина пакета"};
    records.push_back(std::make_unique<TFilterByLengthRecord>(static_cast<int32_t>(length)));
  }
  resolveOutput(args.list.out);  // a usage error before any file is read

  std::vector<std::string> keywords;
  if (!args.keywords.empty()) {
    auto lines = LoadKeywordFile(args.keywords);
    if (!lines) {
      printError(args.keywords + ": " + std::string(kKeywordReadError));
      return kExitFailure;
    }
    keywords = std::move(*lines);
  }
  return rewriteInBatches(
      args.list, [&](PacketList& batch, PacketList& selected, TerminalHost& host) {
        // Loaded packets are all white: whatever either colouring marks is selected.
        constexpr uint8_t kMarked = 1;
        if (!keywords.empty() && !FindAllKeyWords(batch, keywords, args.ignoreCase, kMarked, host))
          return false;
        ColourByFilters(batch, records, kMarked);
        // Written before the next batch is read: no copies needed.
        for (PACKET& p : batch)
          if (p.color != 0) selected.push_back(std::move(p));
        return true;
      });
}

}  // namespace

void addSelectCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<SelectArgs>();
  CLI::App* command = app.add_subcommand(
      "select",
      "Записать пакеты, содержащие ключевое слово или проходящие все записи --value и --length");
  addListOptions(*command, args->list);
  auto* keywords = command->add_option("--keywords", args->keywords,
                                       "Файл списка ключевых слов, по слову в строке (Windows-1251 "
                                       "или UTF-8)");
  command
      ->add_flag("--ignore-case", args->ignoreCase,
                 "Не различать регистр латинских букв ключевых слов")
      ->needs(keywords);
  command->add_option(
      "--value", args->values,
      "Запись по значению БАЙТ:МАСКА:ЗНАЧЕНИЕ: (байт И маска) = значение; десятичные "
      "или 0x-шестнадцатеричные; можно повторять");
  command->add_option("--length", args->lengths,
                      "Запись по длине: пакеты из N байт; можно повторять");
  command->callback([args, &exitCode] { exitCode = runSelect(*args); });
}

}  // namespace pakscope::cli
