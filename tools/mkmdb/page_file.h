// The output file under construction: a temporary file next to the destination that pages
// are written into by number, renamed over the destination only when the database is complete.
#pragma once

#include <cstdint>
#include <string>

#include "jet/format.h"
#include "jet/page_cipher.h"

namespace mkmdb {

class PageFile {
 public:
  // Follows `destination` through its symbolic links, checks that it is a regular file or a new
  // name, and creates the temporary file in its folder. Throws WriterError (DestinationError for
  // a destination that is not a regular file).
  explicit PageFile(const std::string& destination);
  // Removes the temporary file unless Commit() succeeded.
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // Reserves the next page number. Throws WriterError past the 2 GB limit of the format.
  std::uint32_t Allocate();
  std::uint32_t page_count() const { return page_count_; }

  // Enciphers every page but page 0 with `cipher` as it is written (null: pages stay plain).
  // The cipher must outlive the writes.
  void SetCipher(const jet::PageCipher* cipher) { cipher_ = cipher; }

  // Stores a page that was allocated before. Pages may be written in any order.
  void Write(std::uint32_t page, const jet::Page& bytes);

  // Flushes the file to disk, renames it to the destination and flushes the folder.
  void Commit();

  const std::string& temporary_path() const { return temp_path_; }

 private:
  std::string destination_;  // with its links followed
  std::string temp_path_;
  int fd_ = -1;
  std::uint32_t page_count_ = 0;
  bool committed_ = false;
  const jet::PageCipher* cipher_ = nullptr;
};

}  // namespace mkmdb
