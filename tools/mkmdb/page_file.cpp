#include "page_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "mdb_writer.h"
#include "pending_output.h"

namespace mkmdb {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string FolderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The mode a new file would get from open(0666), or the mode of the file being replaced.
mode_t OutputMode(const std::string& destination) {
  struct stat existing {};
  if (stat(destination.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    return existing.st_mode & 07777;
  }
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

PageFile::PageFile(std::string destination) : destination_(std::move(destination)) {
  if (destination_.empty() || destination_.back() == '/') {
    throw WriterError("output path \"" + destination_ + "\" names no file");
  }
  struct stat existing {};
  if (stat(destination_.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
    throw WriterError("output path " + destination_ + " is a folder");
  }
  std::string pattern = FolderOf(destination_) + "/." + BaseName(destination_) + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  fd_ = mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) throw WriterError(SystemError("cannot create a file next to", destination_));
  temp_path_ = name.data();
  SetPendingOutput(temp_path_);
  if (fchmod(fd_, OutputMode(destination_)) != 0) {
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

void PageFile::Write(std::uint32_t page, const jet::Page& bytes) {
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
