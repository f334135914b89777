#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <optional>
#include <vector>

#include "commands.h"
#include "hdlc/bit_file.h"
#include "hdlc/hdlc_master.h"
#include "standard_input.h"
#include "terminal_host.h"

namespace pakscope::cli {

namespace {

// A counter, or "—" for a frame length when no frame was seen (the detector
// keeps its start value there).
std::string lengthText(const HDLC_Report& r, uint32_t length) {
  return r.frames == 0 ? std::string("—") : std::to_string(length);
}

void printReport(const char* title, const HDLC_Report& r, bool found) {
  static const char* const kFills[] = {"нет", "короткими кадрами", "нулями", "единицами"};
  std::string out = std::string(title) + ": " + (found ? "HDLC найден" : "HDLC не найден") + "\n";
  auto field = [&out](const char* name, const std::string& value) {
    out += std::string("  ") + name + ": " + value + "\n";
  };
  auto count = [&field](const char* name, auto value) { field(name, std::to_string(value)); };
  count("Флагов", r.flags);
  count("Прерываний", r.aborts);
  count("Сдвигов флагов", r.misalignedEvents);
  count("Кадров", r.frames);
  count("Кадров со сдвигом", r.misalignedFrames);
  count("Кадров недопустимой длины", r.badLengthFrames);
  count("  из них короче минимума", r.tooShort);
  count("  из них длиннее максимума", r.tooLong);
  count("Кадров без совпадения FCS", r.noCheckFrames);
  count("Коротких кадров заполнения", r.shortFillFrames);
  count("Кадров заполнения нулями", r.zeroFillFrames);
  count("Кадров заполнения единицами", r.onesFillFrames);
  field("Длина кадра мин, байт", lengthText(r, r.shortest));
  field("Длина кадра макс, байт", lengthText(r, r.longest));
  std::string matches;
  for (uint32_t m : r.matches) matches += (matches.empty() ? "" : " ") + std::to_string(m);
  field("Совпадений FCS по типам 1–6", matches);
  field("Много кадров со сдвигом", r.manyMisaligned ? "да" : "нет");
  if (found) {
    field("Заполнение", r.fillKind < 4 ? kFills[r.fillKind] : std::to_string(r.fillKind));
    count("Тип FCS", r.checkType);
  }
  char load[32];
  std::snprintf(load, sizeof load, "%.2f %%", r.load);
  field("Загрузка", load);
  std::fwrite(out.data(), 1, out.size(), stdout);
}

int runHdlc(const std::string& fileName) {
  // Read as the conversion reads it: a pipe without a writer gives no bytes.
  const auto sample = ReadBitFileStart(fileName == "-" ? "/dev/stdin" : fileName, kDetectionSample);
  // The writer of a pipe ends normally, as with every other command.
  if (fileName == "-") DrainStandardInput();
  if (!sample) {
    printError(fileName + ": не удаётся прочитать");
    return kExitFailure;
  }
  CHDLC_Master master;
  master.SetLengthLimits(6, 4096);
  master.Reset();
  master.SetAnalysisLevel(100);
  HDLC_Report winner;
  const bool found = master.Detect(*sample, winner);
  std::cout << fileName << ": просмотрено байт: " << sample->size() << std::endl;
  printReport("Детектор 0 (биты как записаны)", master.jobReport(0), master.result(0));
  printReport("Детектор 1 (биты инвертированы)", master.jobReport(1), master.result(1));
  if (found)
    std::cout << "Итог: HDLC, " << (winner.inverted ? "биты инвертированы" : "биты как записаны")
              << ", тип FCS " << +winner.checkType << '\n';
  else
    std::cout << "Итог: HDLC нет ("
              << (master.result(0) ? "HDLC виден в обеих полярностях"
                                   : "HDLC не виден ни в одной полярности")
              << ")\n";
  // A regular file is decoded whole, as its conversion would be; a stream
  // read once cannot be gone through again.
  struct stat info {};
  if (!found || fileName == "-" || ::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return kExitOk;
  const std::optional<FrameTally> tally = TallyFrames(fileName, winner.inverted);
  if (!tally) {
    printError(fileName + ": не удаётся прочитать");
    return kExitFailure;
  }
  std::cout << "Весь файл: просмотрено байт: " << tally->bytes << ", кадров: " << tally->frames
            << ", из них пакетов (6–4096 байт): " << tally->packets << '\n';
  return kExitOk;
}

}  // namespace

void addHdlcCommand(CLI::App& app, int& exitCode) {
  auto file = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "hdlc", "Искать HDLC в первых 100000 байт битового файла в обеих полярностях");
  command->add_option("FILE", *file, "Битовый файл; - — стандартный ввод")->required();
  command->callback([file, &exitCode] { exitCode = runHdlc(*file); });
}

}  // namespace pakscope::cli
