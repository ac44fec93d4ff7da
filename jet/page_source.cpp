#include "page_source.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace jet {
namespace {

class FilePages : public PageSource {
 public:
  FilePages(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  ~FilePages() override { ::close(fd_); }
  FilePages(const FilePages&) = delete;
  FilePages& operator=(const FilePages&) = delete;

  std::uint64_t Size() const override { return size_; }

  bool ReadAt(std::uint64_t offset, std::size_t length, std::uint8_t* into) const override {
    if (offset > size_ || length > size_ - offset) return false;
    std::size_t done = 0;
    while (done < length) {
      const ssize_t got = ::pread(fd_, into + done, length - done,
                                  static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;  // an error, or the file shrank since it was opened
      done += static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int fd_;
  std::uint64_t size_;
};

class BytePages : public PageSource {
 public:
  explicit BytePages(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(std::uint64_t offset, std::size_t length, std::uint8_t* into) const override {
    if (offset > bytes_.size() || length > bytes_.size() - offset) return false;
    std::memcpy(into, bytes_.data() + offset, length);
    return true;
  }

 private:
  const std::string bytes_;
};

}  // namespace

std::unique_ptr<PageSource> OpenFilePages(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<PageSource> pages = DescriptorPages(fd, error);
  if (pages == nullptr) error = path + " is not a regular file";
  return pages;
}

std::unique_ptr<PageSource> DescriptorPages(int fd, std::string& error) {
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "the file is not a regular file";
    ::close(fd);
    return nullptr;
  }
  return std::make_unique<FilePages>(fd, static_cast<std::uint64_t>(info.st_size));
}

std::unique_ptr<PageSource> MemoryPages(std::string bytes) {
  return std::make_unique<BytePages>(std::move(bytes));
}

}  // namespace jet
