// Where the pages of a file come from: an open file read page by page, or bytes in memory.
// Reading never changes shared state, so several scans may read at once from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace jet {

class PageSource {
 public:
  virtual ~PageSource() = default;
  // Whole bytes available; a file's pages are those that fit whole.
  virtual std::uint64_t Size() const = 0;
  // Copies `length` bytes from `offset` into `into`; false when they are not all there.
  virtual bool ReadAt(std::uint64_t offset, std::size_t length, std::uint8_t* into) const = 0;
};

// Opens `path` for reading; null with `error` set when it cannot be opened.
std::unique_ptr<PageSource> OpenFilePages(const std::string& path, std::string& error);
// Reads through a descriptor already open for reading, which it takes over (and closes, also
// on failure); null with `error` set when it is not a regular file.
std::unique_ptr<PageSource> DescriptorPages(int fd, std::string& error);
std::unique_ptr<PageSource> MemoryPages(std::string bytes);

}  // namespace jet
