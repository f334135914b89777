#include "support/stream_image.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "packets/packet_stream.h"
#include "support/recording_host.h"
#include "support/temp_dir.h"

namespace pakscope::test {

Streamed streamImage(const Bytes& image, PacketFileKind kind, size_t piece, bool pipe) {
  TempDir dir;
  int fds[2] = {-1, -1};
  std::thread writer;
  if (pipe) {
    // A stream that ends early closes its end under the writer.
    ::signal(SIGPIPE, SIG_IGN);
    if (::pipe(fds) != 0) return {};
    writer = std::thread([&] {
      for (size_t at = 0; at < image.size();) {
        const ssize_t n = ::write(fds[1], image.data() + at, image.size() - at);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
      }
      ::close(fds[1]);
    });
  } else {
    writeFile(dir.file("image"), image);
    fds[0] = ::open(dir.file("image").c_str(), O_RDONLY);
  }
  RecordingHost host;
  Streamed out;
  {
    PacketStream stream(fds[0], kind, pipe ? std::nullopt : std::optional<uint64_t>(image.size()),
                        piece);
    out.started = stream.start(host);
    PacketList batch;
    while (out.started && stream.next(batch))
      for (const PACKET& p : batch) out.packets.emplace_back(p.bytes().begin(), p.bytes().end());
    out.details = stream.details();
  }
  ::close(fds[0]);
  if (writer.joinable()) writer.join();
  out.messages = host.messages.size();
  return out;
}

}  // namespace pakscope::test
