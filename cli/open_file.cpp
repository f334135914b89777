#include "open_file.h"

#include <cctype>

#include "hdlc/open_any_file.h"
#include "packets/memory_budget.h"
#include "standard_input.h"

namespace pakscope::cli {

void addOpenOptions(CLI::App& command, OpenOptions& options, const std::string& formatFlag) {
  command.add_flag(
      "--yes", options.yes,
      "Отвечать «Да» на вопросы при открытии (открыть как битовый файл, пакетизировать)");
  // A period that is none is a usage error, told before any file is touched.
  const CLI::Validator period(
      [](std::string& text) {
        return ParsePeriod(text) ? std::string() : std::string(kBadPeriodText);
      },
      "");
  command
      .add_option("--period", options.period,
                  "Ответ на запрос периода пакетизации, в битах (по умолчанию 256)")
      ->type_name("БИТ")
      ->check(period);
  command.add_flag("--packetize", options.packetize,
                   "Разрезать файл на пакеты постоянного периода, не ища HDLC");
  const CLI::Validator format(
      [](std::string& text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text == "qpk" || text == "lqpk" || text == "bit"
                   ? std::string()
                   : "неизвестный формат «" + text + "» (qpk, lqpk, bit)";
      },
      "");
  command
      .add_option(formatFlag, options.inputFormat,
                  "Что на стандартном вводе, если не pcap и не pcapng: qpk (по умолчанию), lqpk "
                  "или bit")
      ->type_name("ФОРМАТ")
      ->transform(format);
}

uint32_t openForCli(const std::string& name, PacketList& list, TerminalHost& host,
                    const OpenOptions& options, LoadDetails* details) {
  const std::optional<StandardInput> input =
      name == "-" ? StandardInput::Copy(options.inputFormat) : std::nullopt;
  if (name == "-") {
    if (!input) return 0;
    host.nameFile(input->path(), std::string(kStandardInputName));
  }
  const std::string& fileName = input ? input->path() : name;
  host.answerYes = options.yes;
  if (options.period) host.promptAnswer = *options.period;
  if (!CheckMemoryFor(host, LoadNeed(fileName), "Открытие файла")) return 0;
  LoadDetails found;
  const uint32_t longest = options.packetize ? OpenWithPacketization(fileName, list, host, &found)
                                             : OpenAnyFile(fileName, list, host, &found);
  if (found.fileShrank) printError(name + ": " + std::string(kFileChangedText));
  if (details != nullptr) *details = std::move(found);
  return longest;
}

std::optional<ConvertedInput> convertForCli(const std::string& name, TerminalHost& host,
                                            const OpenOptions& options) {
  std::optional<StandardInput> input =
      name == "-" ? StandardInput::Copy(options.inputFormat) : std::nullopt;
  if (name == "-") {
    if (!input) return std::nullopt;
    host.nameFile(input->path(), std::string(kStandardInputName));
  }
  const std::string& fileName = input ? input->path() : name;
  host.answerYes = options.yes;
  if (options.period) host.promptAnswer = *options.period;
  // The copy of standard input is a regular file, but stands for a stream.
  const ConversionOptions conversion{input ? ConversionReach::LoaderLimit
                                           : ConversionReach::WholeRegularFile};
  std::optional<std::string> packetFile =
      ConvertForOpen(fileName, host, options.packetize, conversion);
  if (!packetFile) return std::nullopt;
  return ConvertedInput{std::move(input), std::move(*packetFile)};
}

}  // namespace pakscope::cli
