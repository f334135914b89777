#include <cstdio>
#include <iostream>
#include <optional>
#include <vector>

#include "commands.h"
#include "hdlc/bit_file.h"
#include "hdlc/hdlc_master.h"
#include "terminal_host.h"

namespace pakscope::cli {

namespace {

void printReport(const char* title, const HDLC_Report& r, bool found) {
  std::printf("%s: %s\n", title, found ? "HDLC found" : "no HDLC");
  auto field = [](const char* name, auto value) {
    std::cout << "  " << name << ": " << +value << '\n';
  };
  field("bytesProcessed", r.bytesProcessed);
  field("aborts", r.aborts);
  field("flags", r.flags);
  field("misalignedEvents", r.misalignedEvents);
  field("frames", r.frames);
  field("misalignedFrames", r.misalignedFrames);
  field("badLengthFrames", r.badLengthFrames);
  field("noCheckFrames", r.noCheckFrames);
  field("shortFillFrames", r.shortFillFrames);
  field("zeroFillFrames", r.zeroFillFrames);
  field("onesFillFrames", r.onesFillFrames);
  field("shortest", r.shortest);
  field("longest", r.longest);
  field("tooShort", r.tooShort);
  field("tooLong", r.tooLong);
  std::cout << "  matches:";
  for (uint32_t m : r.matches) std::cout << ' ' << m;
  std::cout << '\n';
  std::cout << "  detected: " << (r.detected ? "true" : "false") << '\n'
            << "  inverted: " << (r.inverted ? "true" : "false") << '\n'
            << "  manyMisaligned: " << (r.manyMisaligned ? "true" : "false") << '\n';
  field("fillKind", r.fillKind);
  field("checkType", r.checkType);
  std::printf("  load: %.2f\n", r.load);
}

int runHdlc(const std::string& fileName) {
  // Read as the conversion reads it: a pipe without a writer gives no bytes.
  const auto sample = ReadBitFileStart(fileName, kDetectionSample);
  if (!sample) {
    printError(fileName + ": cannot be read");
    return kExitFailure;
  }
  CHDLC_Master master;
  master.SetLengthLimits(6, 4096);
  master.Reset();
  master.SetAnalysisLevel(100);
  HDLC_Report winner;
  const bool found = master.Detect(*sample, winner);
  std::cout << fileName << ": " << sample->size() << " bytes examined\n";
  printReport("Detector 0 (as stored)", master.jobReport(0), master.result(0));
  printReport("Detector 1 (complemented)", master.jobReport(1), master.result(1));
  if (found)
    std::cout << "Verdict: HDLC, " << (winner.inverted ? "complemented" : "as stored")
              << ", check type " << +winner.checkType << '\n';
  else
    std::cout << "Verdict: no HDLC ("
              << (master.result(0) ? "both polarities show HDLC" : "neither polarity shows HDLC")
              << ")\n";
  return kExitOk;
}

}  // namespace

void addHdlcCommand(CLI::App& app, int& exitCode) {
  auto file = std::make_shared<std::string>();
  CLI::App* command = app.add_subcommand(
      "hdlc", "Look for HDLC in the first 100,000 bytes of a bit file, in both polarities");
  command->add_option("FILE", *file, "Bit file")->required();
  command->callback([file, &exitCode] { exitCode = runHdlc(*file); });
}

}  // namespace pakscope::cli
