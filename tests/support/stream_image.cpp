#include "support/stream_image.h"

#include <fcntl.h>
#include <unistd.h>

#include "packets/mapped_file.h"
#include "packets/packet_stream.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace pakscope::test {

Streamed streamImage(const Bytes& image, PacketFileKind kind, size_t piece, bool sized,
                     uint64_t missing) {
  TempDir dir;
  writeFile(dir.file("image"), image);
  FileHandle file(::open(dir.file("image").c_str(), O_RDONLY));
  RecordingHost host;
  PacketStream stream(file.get(), kind,
                      sized ? std::optional<uint64_t>(image.size() + missing) : std::nullopt, piece);
  Streamed out;
  out.started = stream.start(host);
  PacketList batch;
  while (out.started && stream.next(batch))
    for (const PACKET& p : batch) out.packets.emplace_back(p.bytes().begin(), p.bytes().end());
  out.details = stream.details();
  out.messages = host.messages.size();
  out.shortened = stream.shortened();
  return out;
}

}  // namespace pakscope::test
