#pragma once

#include <cstddef>
#include <cstdint>
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
  bool shortened = false;
};

// Streams `image` as a file of `kind` in pieces of `piece` bytes, with its
// size known or, as for a pipe, read to its end. `missing` bytes more than
// the image holds are given as its size, as for a file cut while it is read.
Streamed streamImage(const Bytes& image, PacketFileKind kind, size_t piece, bool sized,
                     uint64_t missing = 0);

}  // namespace pakscope::test
