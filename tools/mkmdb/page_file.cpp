#include "page_file.h"

#include "text/utf.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "destination.h"
#include "mdb_writer.h"
#include "pending_output.h"

namespace mkmdb {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// The longest file name the folder accepts.
std::size_t NameLimit(const std::string& folder) {
  const long limit = pathconf(folder.c_str(), _PC_NAME_MAX);
  return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

// The first `size` bytes of `name`, not cutting a UTF-8 sequence in two.
std::string CutName(const std::string& name, std::size_t size) {
  return std::string(textconv::Utf8Prefix(name, size));
}

std::string RandomSuffix() {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char bytes[6] = {};
  if (getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    throw WriterError(std::string("cannot draw a temporary name: ") + std::strerror(errno));
  }
  std::string suffix;
  for (unsigned char b : bytes) suffix.push_back(kLetters[b % (sizeof kLetters - 1)]);
  return suffix;
}

}  // namespace

PageFile::PageFile(const std::string& destination) {
  if (destination.empty() || destination.back() == '/') {
    throw WriterError("output path \"" + destination + "\" names no file");
  }
  destination_ = ResolveDestination(destination);
  if (destination_.back() == '/') {
    throw WriterError("output path " + destination + " leads to \"" + destination_ +
                      "\", which names no file");
  }
  struct stat existing {};
  const bool replacing = stat(destination_.c_str(), &existing) == 0;

  // ".<name>.XXXXXX" beside the destination, the name shortened when it would pass the limit.
  const std::string folder = FolderOf(destination_);
  const std::size_t room = NameLimit(folder) - 8;
  const std::string stem = folder + "/." + CutName(BaseName(destination_), room) + ".";
  // Created with mode 0666, which the kernel narrows by the process umask (and a default ACL of
  // the folder) exactly as for any new file; a replaced file's mode is then carried over.
  {
    const CleanupSignalsHeld held;  // until the new file is registered for removal
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts && fd_ < 0; ++attempt) {
      temp_path_ = stem + RandomSuffix();
      fd_ = open(temp_path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ < 0 && errno != EEXIST) break;
    }
    if (fd_ < 0) throw WriterError(SystemError("cannot create a file next to", destination_));
    SetPendingOutput(temp_path_);
  }
  if (replacing && fchmod(fd_, existing.st_mode & 07777) != 0) {
    std::string message = SystemError("cannot set the mode of", temp_path_);
    close(fd_);
    unlink(temp_path_.c_str());
    ClearPendingOutput();
    throw WriterError(message);
  }
}

PageFile::~PageFile() {
  if (fd_ >= 0) close(fd_);
  if (!committed_) {
    unlink(temp_path_.c_str());
    ClearPendingOutput();
  }
}

std::uint32_t PageFile::Allocate() {
  if (page_count_ >= jet::kMaxPages) {
    throw WriterError("the database would exceed 2 GB, the limit of the file format");
  }
  return page_count_++;
}

void PageFile::Write(std::uint32_t page, const jet::Page& plain) {
  jet::Page enciphered;
  const jet::Page* stored = &plain;
  if (cipher_ != nullptr && page != 0) {
    enciphered = plain;
    std::string error;
    if (!cipher_->Encrypt(page, enciphered, error)) throw WriterError(error);
    stored = &enciphered;
  }
  const jet::Page& bytes = *stored;
  off_t offset = static_cast<off_t>(page) * static_cast<off_t>(jet::kPageSize);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = pwrite(fd_, bytes.data() + done, bytes.size() - done,
                       offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      throw WriterError(SystemError("cannot write", temp_path_));
    }
    done += static_cast<std::size_t>(n);
  }
}

void PageFile::Commit() {
  off_t size = static_cast<off_t>(page_count_) * static_cast<off_t>(jet::kPageSize);
  if (ftruncate(fd_, size) != 0) throw WriterError(SystemError("cannot size", temp_path_));
  if (fsync(fd_) != 0) throw WriterError(SystemError("cannot flush", temp_path_));
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) throw WriterError(SystemError("cannot close", temp_path_));
  // The destination was checked when the run began; something else may have been put there
  // since, and a rename would replace it whatever it is.
  struct stat now {};
  if (lstat(destination_.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
    throw DestinationError("output path " + destination_ +
                           " became something other than a regular file while the database "
                           "was written; it is left as it is");
  }
  if (rename(temp_path_.c_str(), destination_.c_str()) != 0) {
    throw WriterError(SystemError("cannot rename the finished file to", destination_));
  }
  committed_ = true;
  ClearPendingOutput();
  // The rename is durable only once the folder itself is on disk.
  int folder = open(FolderOf(destination_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
}

}  // namespace mkmdb
