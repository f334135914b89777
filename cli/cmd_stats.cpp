#include <clocale>
#include <cstdio>
#include <iostream>

#include "commands.h"
#include "packet_input.h"
#include "tools/statistics.h"

namespace pakscope::cli {

namespace {

struct StatsArgs {
  std::string file;
  std::vector<int32_t> bytes;
  InputOptions input;
};

int runStats(const StatsArgs& args) {
  if (args.bytes.size() > kStatByteFields)
    throw UsageError{"--bytes принимает не больше " + std::to_string(kStatByteFields) +
                     " номеров байт"};
  if (!args.bytes.empty() && StatByteNumbers(args.bytes).empty())
    throw UsageError{"--bytes должен начинаться с номера байта от 1"};
  TerminalHost host;
  StatisticsCounter counter(args.bytes.empty() ? StatKind::Lengths : StatKind::ByteValues,
                            args.bytes);
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
  command
      ->add_option("--bytes", args->bytes,
                   "Номера байт (с 1, до 8, через запятую), значения которых считаются; "
                   "список кончается на первом номере меньше 1")
      ->delimiter(',');
  addInputOptions(*command, args->input);
  command->callback([args, &exitCode] { exitCode = runStats(*args); });
}

}  // namespace pakscope::cli
