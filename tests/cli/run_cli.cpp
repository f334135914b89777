#include "run_cli.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/temp_dir.h"

namespace pakscope::test {

namespace {
std::string quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

CliRun runCli(const std::vector<std::string>& args) {
  return runCliAfter({}, args);
}

namespace {
CliRun run(const std::string& setup, const std::vector<std::string>& args,
           const std::string& input) {
  TempDir dir;
  std::string command = setup + quoted(PAKSCOPE_CLI);
  for (const std::string& a : args) command += " " + quoted(a);
  command += " >" + quoted(dir.file("out")) + " 2>" + quoted(dir.file("err"));
  command =
      input.empty() ? command + " </dev/null" : "cat " + quoted(input) + " | { " + command + "; }";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir.file("out")),
          slurp(dir.file("err"))};
}
}  // namespace

CliRun runCliAfter(const std::string& setup, const std::vector<std::string>& args) {
  return run(setup, args, {});
}

CliRun runCliReading(const std::string& input, const std::vector<std::string>& args,
                     const std::string& setup) {
  return run(setup, args, input);
}

}  // namespace pakscope::test
