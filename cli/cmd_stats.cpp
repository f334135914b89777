#include <charconv>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string_view>

#include "commands.h"
#include "packet_input.h"
#include "tools/statistics.h"

namespace pakscope::cli {

namespace {

struct StatsArgs {
  std::string file;
  std::optional<std::string> bytes;
  InputOptions input;
};

// The byte numbers of --bytes as the window's fields take them: the list ends
// at the first number below 1, and what follows it is not read. Every item up
// to there must be a whole number; an empty one is a mistake, not a gap.
std::vector<int32_t> byteNumbersOf(std::string_view text) {
  std::vector<int32_t> numbers;
  for (size_t start = 0;;) {
    size_t end = text.find(',', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view item = text.substr(start, end - start);
    int32_t value = 0;
    const char* first = item.data() + (item.starts_with('+') ? 1 : 0);
    const auto [stop, ec] = std::from_chars(first, item.data() + item.size(), value);
    if (item.empty() || ec != std::errc() || stop != item.data() + item.size())
      throw UsageError{"--bytes: «" + std::string(item) +
                       "» — не номер байта; задайте номера через запятую"};
    if (value < 1) break;
    if (numbers.size() == kStatByteFields)
      throw UsageError{"--bytes принимает не больше " + std::to_string(kStatByteFields) +
                       " номеров байт"};
    numbers.push_back(value);
    if (end == text.size()) break;
    start = end + 1;
  }
  if (numbers.empty()) throw UsageError{"--bytes должен начинаться с номера байта от 1"};
  return numbers;
}

int runStats(const StatsArgs& args) {
  const std::vector<int32_t> bytes =
      args.bytes ? byteNumbersOf(*args.bytes) : std::vector<int32_t>{};
  TerminalHost host;
  StatisticsCounter counter(bytes.empty() ? StatKind::Lengths : StatKind::ByteValues, bytes);
  const auto count = [&](PacketList& batch, uint64_t) {
    counter.add(batch, host);
    return true;
  };
  if (readInput(args.file, host, args.input, count) == 0) {
    printError(args.file + ": ничего не загружено");
    return kExitFailure;
  }
  const StatisticsResult result = counter.result();
  // The percentage takes the locale's decimal separator, as the window does.
  const std::string separator = std::localeconv()->decimal_point;
  const size_t values = result.kind == StatKind::Lengths ? 1 : result.byteNumbers.size();
  std::string out = StatSummaryText(result.rows.size()) + "\n";
  for (size_t r = 0; r < result.rows.size(); ++r) {
    const auto cells = StatRowCells(result, r, separator);
    for (size_t c = 0; c < values; ++c) out += cells[c] + "\t";
    out += cells[8] + "\t" + cells[9] + "\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
}

}  // namespace

void addStatsCommand(CLI::App& app, int& exitCode) {
  auto args = std::make_shared<StatsArgs>();
  CLI::App* command =
      app.add_subcommand("stats", "Статистика длин пакетов или, с --bytes, значений байт");
  command->add_option("FILE", args->file, "Файл для загрузки; - — стандартный ввод")->required();
  command->add_option("--bytes", args->bytes,
                      "Номера байт (с 1, до 8, через запятую), значения которых считаются; "
                      "список кончается на первом номере меньше 1");
  addInputOptions(*command, args->input);
  command->callback([args, &exitCode] { exitCode = runStats(*args); });
}

}  // namespace pakscope::cli
