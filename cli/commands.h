#pragma once

#include <CLI/CLI.hpp>

namespace pakscope::cli {

// Exit codes of the tool, as capture tools use them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // input could not be read or written
inline constexpr int kExitUsage = 2;

// Thrown from a command's callback for a usage error found after parsing.
struct UsageError {
  std::string message;
};

// Each command registers itself as a subcommand; its callback stores the exit code.
void addInfoCommand(CLI::App& app, int& exitCode);
void addConvertCommand(CLI::App& app, int& exitCode);
void addHdlcCommand(CLI::App& app, int& exitCode);
void addAnalyseCommand(CLI::App& app, int& exitCode);
void addProtocolsCommand(CLI::App& app, int& exitCode);
void addStatsCommand(CLI::App& app, int& exitCode);
void addSearchCommand(CLI::App& app, int& exitCode);
void addCutCommand(CLI::App& app, int& exitCode);
void addPadCommand(CLI::App& app, int& exitCode);
void addSelectCommand(CLI::App& app, int& exitCode);

}  // namespace pakscope::cli
