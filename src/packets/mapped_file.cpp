#include "packets/mapped_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace pakscope {

const void* MapReadOnly(int fd, size_t length) {
  if (length == 0) return nullptr;
  void* address = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) return nullptr;
  // The reader walks the file once from the front.
  ::madvise(address, length, MADV_SEQUENTIAL);
  return address;
}

MappedView::~MappedView() {
  reset();
}

MappedView::MappedView(MappedView&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)), length_(std::exchange(other.length_, 0)) {}

MappedView& MappedView::operator=(MappedView&& other) noexcept {
  if (this != &other) {
    reset();
    address_ = std::exchange(other.address_, nullptr);
    length_ = std::exchange(other.length_, 0);
  }
  return *this;
}

void MappedView::reset() noexcept {
  if (address_ != nullptr) ::munmap(const_cast<void*>(address_), length_);
  address_ = nullptr;
  length_ = 0;
}

void MappedView::populate(size_t offset, size_t length) const noexcept {
#ifdef MADV_POPULATE_READ
  if (offset >= length_) return;
  const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
  const size_t start = offset / page * page;
  const size_t end = std::min(length_, offset + length);
  ::madvise(static_cast<char*>(const_cast<void*>(address_)) + start, end - start,
            MADV_POPULATE_READ);
#else
  (void)offset;
  (void)length;
#endif
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FileHandle::close() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

}  // namespace pakscope
