#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace pakscope {

// Maps `length` bytes of the open file `fd` read-only from offset 0; returns
// nullptr on failure. Replaceable so that tests can make mapping fail.
using MapFunction = std::function<const void*(int fd, size_t length)>;

const void* MapReadOnly(int fd, size_t length);

// A read-only view of a file, unmapped when the object goes.
class MappedView {
 public:
  MappedView() = default;
  MappedView(const void* address, size_t length) noexcept : address_(address), length_(length) {}
  ~MappedView();
  MappedView(MappedView&& other) noexcept;
  MappedView& operator=(MappedView&& other) noexcept;
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;

  bool valid() const noexcept { return address_ != nullptr; }
  std::span<const uint8_t> bytes() const noexcept {
    return {static_cast<const uint8_t*>(address_), length_};
  }
  void reset() noexcept;
  // Maps the pages of [offset, offset + length) in one go ahead of their reading,
  // instead of one page fault after another. A hint: failures are ignored.
  void populate(size_t offset, size_t length) const noexcept;

 private:
  const void* address_ = nullptr;
  size_t length_ = 0;
};

// An open file descriptor, closed when the object goes.
class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) noexcept : fd_(fd) {}
  ~FileHandle() { close(); }
  FileHandle(FileHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }
  void close() noexcept;

 private:
  int fd_ = -1;
};

}  // namespace pakscope
