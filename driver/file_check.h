// Opens a database file once and checks, on that open descriptor, that it is an Access
// database before the reader is given it: a missing, wrong or unreadable file gets a plain
// reason (which file, and why) at connect, and a path swapped for a FIFO or a device after the
// check can change nothing, since the reader reads through the descriptor that was checked.
#pragma once

#include <optional>
#include <string>

namespace mdbodbc {

// A descriptor closed with its owner unless it is released.
class OwnedDescriptor {
 public:
  OwnedDescriptor() = default;
  explicit OwnedDescriptor(int fd) : fd_(fd) {}
  ~OwnedDescriptor();
  OwnedDescriptor(OwnedDescriptor&& other) noexcept : fd_(other.Release()) {}
  OwnedDescriptor& operator=(OwnedDescriptor&& other) noexcept;
  OwnedDescriptor(const OwnedDescriptor&) = delete;
  OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;
  int get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

struct FileCheck {
  // Empty when the file looks like an Access database; otherwise why it cannot be used.
  std::optional<std::string> problem;
  int pageSize = 0;
  int engineVersion = 0;  // byte 0x14 of the header: 0 Jet 3, 1 Jet 4, 2 and above ACE
  // The file, open for reading, when there is no problem.
  OwnedDescriptor file;
};

FileCheck CheckDatabaseFile(const std::string& path);

}  // namespace mdbodbc
