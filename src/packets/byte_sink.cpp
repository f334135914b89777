#include "packets/byte_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "packets/temp_files.h"

namespace pakscope {

bool ByteSink::writeAll(const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd_, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

void ByteSink::write(std::span<const uint8_t> bytes) {
  if (!ok_) return;
  if (buffer_.size() + bytes.size() > kBufferSize) {
    if (!flush()) return;
    if (bytes.size() >= kBufferSize) {
      ok_ = writeAll(bytes.data(), bytes.size());
      return;
    }
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

bool ByteSink::flush() {
  if (ok_ && !buffer_.empty()) ok_ = writeAll(buffer_.data(), buffer_.size());
  buffer_.clear();
  return ok_;
}

AtomicFile::AtomicFile(std::string target) : target_(std::move(target)) {
  const size_t slash = target_.find_last_of('/');
  const std::string folder =
      slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  std::random_device random;
  for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
    temporary_ = folder + "." + name + ".part" + std::to_string(random() % 1'000'000);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ >= 0) {
    registrySlot_ = temp_files::Remember(temporary_);
    sink_ = std::make_unique<ByteSink>(fd_);
  } else {
    sink_ = std::make_unique<ByteSink>(-1);
  }
}

AtomicFile::~AtomicFile() {
  discard();
}

void AtomicFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(temporary_.c_str());
    temp_files::Forget(registrySlot_);
    registrySlot_ = -1;
  }
}

bool AtomicFile::commit() {
  if (fd_ < 0) return false;
  bool ok = sink_->flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ok = false;
  const bool renamed = ok && ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!renamed) ::unlink(temporary_.c_str());
  temp_files::Forget(registrySlot_);
  registrySlot_ = -1;
  return renamed;
}

}  // namespace pakscope
