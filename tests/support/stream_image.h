#pragma once

#include <cstddef>
#include <vector>

#include "packets/file_kind.h"
#include "packets/packet_reader.h"
#include "support/capture_files.h"

namespace pakscope::test {

// What a PacketStream read from an image.
struct Streamed {
  std::vector<Bytes> packets;
  LoadDetails details;
  size_t messages = 0;  // message boxes shown
  bool started = false;
};

// Streams `image` as a file of `kind` in pieces of `piece` bytes, with its
// size known or, as for a pipe, read to its end.
Streamed streamImage(const Bytes& image, PacketFileKind kind, size_t piece, bool sized);

}  // namespace pakscope::test
