#include "file_check.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mdbodbc {
namespace {

constexpr size_t kSignatureOffset = 4;
constexpr char kJetSignature[] = "Standard Jet DB";  // followed by a null byte
constexpr char kAceSignature[] = "Standard ACE DB";
constexpr size_t kVersionOffset = 0x14;
// The catalog's table definition lives on page 2, so a usable file has at least three pages.
constexpr off_t kMinimumPages = 3;

FileCheck Problem(std::string reason) {
  FileCheck check;
  check.problem = std::move(reason);
  return check;
}

}  // namespace

OwnedDescriptor::~OwnedDescriptor() {
  if (fd_ >= 0) close(fd_);
}

OwnedDescriptor& OwnedDescriptor::operator=(OwnedDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

// O_NONBLOCK: opening a FIFO or a device must not wait for a writer or a carrier; a regular
// file, the only kind accepted, reads the same with it.
FileCheck CheckDatabaseFile(const std::string& path) {
  OwnedDescriptor fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0) return Problem(std::strerror(errno));
  struct stat info {};
  if (fstat(fd.get(), &info) != 0) return Problem(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return Problem("it is a directory, not a file");
  if (!S_ISREG(info.st_mode)) return Problem("it is not a regular file");
  if (info.st_size == 0) return Problem("the file is empty");

  unsigned char header[0x20] = {};
  ssize_t got = 0;
  do {
    got = pread(fd.get(), header, sizeof header, 0);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return Problem(std::strerror(errno));
  if (static_cast<size_t>(got) < sizeof header) {
    return Problem("the file is too short to be an Access database");
  }
  bool jet = std::memcmp(header + kSignatureOffset, kJetSignature, sizeof kJetSignature) == 0;
  bool ace = std::memcmp(header + kSignatureOffset, kAceSignature, sizeof kAceSignature) == 0;
  if (header[0] != 0 || (!jet && !ace)) {
    return Problem("it is not an Access database (no Jet database header)");
  }
  FileCheck check;
  check.engineVersion = header[kVersionOffset];
  if (jet && check.engineVersion == 0) {
    check.pageSize = 2048;
  } else if ((jet && check.engineVersion == 1) || (ace && check.engineVersion >= 2 &&
                                                   check.engineVersion <= 6)) {
    check.pageSize = 4096;
  } else {
    return Problem("unknown database engine version " + std::to_string(check.engineVersion));
  }
  if (info.st_size < kMinimumPages * check.pageSize) {
    return Problem("the file is truncated (" + std::to_string(info.st_size) +
                   " bytes, shorter than its catalog)");
  }
  check.file = std::move(fd);
  return check;
}

}  // namespace mdbodbc
