#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "open_file.h"
#include "output_file.h"
#include "packet_input.h"

namespace pakscope::cli {

// IN, OUT and the open and output options of a command that loads a list and
// writes another (convert, cut, pad, select).
struct ListArgs {
  std::string input;
  OutputArgs out;
  InputOptions read;
};

void addListOptions(CLI::App& command, ListArgs& args);

// Makes the list to write from the loaded one; nullopt when there is none, the
// maker having said why.
using ListMaker = std::function<std::optional<PacketList>(PacketList& loaded, TerminalHost& host)>;

// Checks the output options, loads IN, makes the new list and writes it to OUT;
// returns the exit status.
int rewriteList(const ListArgs& args, const ListMaker& make);

// Makes the new list's part of one batch of the input in `made` (empty on
// the call); false when there is none, the maker having said why.
using BatchMaker = std::function<bool(PacketList& batch, PacketList& made, TerminalHost& host)>;

// rewriteList with IN read batch by batch: each batch's part of the new list
// is written as it is made and dropped, so no list is held whole. Without a
// maker each batch is written as read.
int rewriteInBatches(const ListArgs& args, const BatchMaker& make);

// Moves the packets of `part` to the end of `made`; false for no part.
bool appendMade(std::optional<PacketList> part, PacketList& made);

// `made`, or the program's out-of-memory sentence for `operation` (the
// window's name of the same operation).
std::optional<PacketList> orOutOfMemory(std::optional<PacketList> made, TerminalHost& host,
                                        std::string_view operation);

}  // namespace pakscope::cli
