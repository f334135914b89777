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

// Streams `image` as a file of `kind` in pieces of `piece` bytes, from a
// regular file of known size or from a pipe.
Streamed streamImage(const Bytes& image, PacketFileKind kind, size_t piece, bool pipe);

}  // namespace pakscope::test
