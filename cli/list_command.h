#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "open_file.h"
#include "output_file.h"

namespace pakscope::cli {

// IN, OUT and the open and output options of a command that loads a list and
// writes another (convert, cut, pad, select).
struct ListArgs {
  std::string input;
  OutputArgs out;
  OpenOptions open;
};

void addListOptions(CLI::App& command, ListArgs& args);

// Makes the list to write from the loaded one; nullopt when there is none, the
// maker having said why.
using ListMaker = std::function<std::optional<PacketList>(PacketList& loaded, TerminalHost& host)>;

// Checks the output options, loads IN, makes the new list and writes it to OUT;
// returns the exit status.
int rewriteList(const ListArgs& args, const ListMaker& make);

// `made`, or the program's out-of-memory sentence for `operation` (the
// window's name of the same operation).
std::optional<PacketList> orOutOfMemory(std::optional<PacketList> made, TerminalHost& host,
                                        std::string_view operation);

}  // namespace pakscope::cli
