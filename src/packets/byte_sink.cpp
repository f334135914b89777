#include "packets/byte_sink.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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
    flushed_ += static_cast<uint64_t>(n);
  }
  return true;
}

void ByteSink::write(std::span<const uint8_t> bytes) {
  if (!ok_) return;
  if (dropCr_) {
    for (size_t start = 0; start < bytes.size();) {
      size_t end = start;
      while (end < bytes.size() && bytes[end] != '\r') ++end;
      dropCr_ = false;
      write(bytes.subspan(start, end - start));
      dropCr_ = true;
      start = end + 1;
    }
    return;
  }
  if (!holding_ && buffer_.size() + bytes.size() > kBufferSize) {
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

bool ByteSink::patch(uint64_t offset, std::span<const uint8_t> bytes) {
  if (!ok_) return false;
  if (offset >= flushed_ && offset - flushed_ + bytes.size() <= buffer_.size()) {
    std::copy(bytes.begin(), bytes.end(),
              buffer_.begin() + static_cast<ptrdiff_t>(offset - flushed_));
    return true;
  }
  if (!positioned_ || offset + bytes.size() > flushed_ + buffer_.size() || !flush()) return false;
  for (size_t done = 0; done < bytes.size();) {
    const ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return ok_ = false;
    done += static_cast<size_t>(n);
  }
  return true;
}

namespace {

// Where a chain of symbolic links that ends nowhere points: the file to create.
std::string danglingTarget(std::string path) {
  for (int hop = 0; hop < 40; ++hop) {
    char buffer[4096];
    const ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof buffer) return path;
    const std::string link(buffer, static_cast<size_t>(n));
    const size_t slash = path.find_last_of('/');
    // A relative link is read from the folder that holds it.
    path =
        link.front() == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
  }
  return path;
}

struct Target {
  std::string path;  // links resolved where the file is to be replaced
  bool exists = false;
  struct stat info {};
  std::string refusal;
};

// The kernel follows the links (the magic ones of /proc too) to tell what the
// target is; only a regular file, to be replaced beside itself, needs its
// real name.
Target examine(const std::string& name) {
  Target target;
  target.path = name;
  if (::stat(name.c_str(), &target.info) == 0) {
    target.exists = true;
    const mode_t mode = target.info.st_mode;
    if (S_ISREG(mode)) {
      if (char* real = ::realpath(name.c_str(), nullptr)) {
        target.path = real;
        std::free(real);
      }
    } else if (!S_ISCHR(mode) && !S_ISFIFO(mode)) {
      const char* kind = S_ISDIR(mode)    ? "папка"
                         : S_ISSOCK(mode) ? "сокет"
                         : S_ISBLK(mode)  ? "блочное устройство"
                                          : "не обычный файл";
      target.refusal = "\"" + name + "\" — " + kind + ", а не файл";
    }
  } else if (errno == ELOOP) {
    target.refusal = "\"" + name + "\" — замкнутая цепочка символических ссылок";
  } else if (errno == ENOENT) {
    target.path = danglingTarget(name);
  }
  return target;
}

// The descriptor a name of the process's own open files stands for
// (/dev/stdout, /dev/fd/3); -1 for any other name.
int ownDescriptor(const std::string& name) {
  if (name == "/dev/stdout") return STDOUT_FILENO;
  if (name == "/dev/stderr") return STDERR_FILENO;
  for (std::string_view prefix : {"/dev/fd/", "/proc/self/fd/"}) {
    if (!name.starts_with(prefix) || name.size() == prefix.size() ||
        name.size() > prefix.size() + 6)
      continue;
    int fd = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return -1;
      fd = fd * 10 + (name[i] - '0');
    }
    return fd;
  }
  return -1;
}

}  // namespace

std::string WriteRefusal(const std::string& target) {
  return examine(target).refusal;
}

AtomicFile::AtomicFile(std::string target) {
  // An open descriptor is written where it stands, whatever it leads to: a
  // reopen or a rename would lose what a redirection (>> log) appends to.
  if (const int own = ownDescriptor(target); own >= 0) {
    direct_ = true;
    target_ = target;
    fd_ = ::fcntl(own, F_DUPFD_CLOEXEC, 0);
    if (fd_ >= 0) temporary_ = "/proc/self/fd/" + std::to_string(fd_);
    sink_ = std::make_unique<ByteSink>(fd_);
    return;
  }
  const Target examined = examine(target);
  target_ = examined.path;
  if (!examined.refusal.empty()) {
    // Nothing to open.
  } else if (examined.exists && !S_ISREG(examined.info.st_mode)) {
    // A device or a FIFO cannot be replaced: written in place, its name as given.
    direct_ = true;
    fd_ = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ >= 0) temporary_ = "/proc/self/fd/" + std::to_string(fd_);
  } else {
    const size_t slash = target_.find_last_of('/');
    openTemporary(slash == std::string::npos ? std::string() : target_.substr(0, slash + 1),
                  slash == std::string::npos ? target_ : target_.substr(slash + 1));
    if (fd_ >= 0 && examined.exists) keepModeAndOwner(examined.info);
  }
  sink_ = std::make_unique<ByteSink>(fd_);
  if (!direct_) sink_->writesFileFromStart();
}

void AtomicFile::openTemporary(const std::string& folder, const std::string& name) {
  std::random_device random;
  for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
    temporary_ = folder + "." + name + ".part" + std::to_string(random() % 1'000'000);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ >= 0) registrySlot_ = temp_files::Remember(temporary_);
}

void AtomicFile::keepModeAndOwner(const struct stat& old) {
  // Owner first: a change of owner may clear the set-id bits that the mode
  // then restores. Who may not give the file away keeps at least its group.
  if (::fchown(fd_, old.st_uid, old.st_gid) != 0 &&
      ::fchown(fd_, static_cast<uid_t>(-1), old.st_gid) != 0) {
    // The replacement then belongs to the writer, as a new file would.
  }
  ::fchmod(fd_, old.st_mode & 07777);
}

AtomicFile::~AtomicFile() {
  discard();
}

void AtomicFile::discard() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
    if (direct_) return;
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
  if (direct_) return ok;
  const bool renamed = ok && ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!renamed) ::unlink(temporary_.c_str());
  temp_files::Forget(registrySlot_);
  registrySlot_ = -1;
  return renamed;
}

}  // namespace pakscope
