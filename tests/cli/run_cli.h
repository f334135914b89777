#pragma once

#include <string>
#include <vector>

namespace pakscope::test {

struct CliRun {
  int exitCode;
  std::string out;
  std::string err;
};

// Runs the built pakscope-cli with the given arguments (each quoted for the shell).
CliRun runCli(const std::vector<std::string>& args);
// The same after shell commands that set up its process (ulimit, variables).
CliRun runCliAfter(const std::string& setup, const std::vector<std::string>& args);
// The same with standard input read from `input` (a pipe from cat).
CliRun runCliReading(const std::string& input, const std::vector<std::string>& args,
                     const std::string& setup = {});

}  // namespace pakscope::test
