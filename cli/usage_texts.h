#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace pakscope::cli {

// Puts the tool's help and its parser's own words into Russian, like the rest
// of its output: the labels of the help, the help flag, the groups of options
// and commands, and the message of a failed parse. Called once every command
// is added.
void UseRussianTexts(CLI::App& app);

// The message of a failed parse in Russian; an unknown command is named.
// `argv` are the arguments after the program's name.
std::string ParseErrorText(const CLI::App& app, const CLI::Error& error,
                           const std::vector<std::string>& arguments);

}  // namespace pakscope::cli
