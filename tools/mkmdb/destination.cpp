#include "destination.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mkmdb {
namespace {

// Links followed before giving up, as the kernel does (ELOOP).
constexpr int kMaxLinks = 40;

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode)) return "a character device";
  if (S_ISBLK(mode)) return "a block device";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string ReadLink(const std::string& link) {
  std::vector<char> target(256);
  for (;;) {
    const ssize_t n = readlink(link.c_str(), target.data(), target.size());
    if (n < 0) {
      throw WriterError("cannot read the symbolic link " + link + ": " + std::strerror(errno));
    }
    if (static_cast<std::size_t>(n) < target.size()) {
      return std::string(target.data(), static_cast<std::size_t>(n));
    }
    target.resize(target.size() * 2);
  }
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ResolveDestination(const std::string& path) {
  std::string current = path;
  for (int links = 0;; ++links) {
    struct stat entry {};
    if (lstat(current.c_str(), &entry) != 0) {
      if (errno == ENOENT) return current;  // a new name; its folder is checked on creation
      throw WriterError("cannot inspect the output path " + current + ": " +
                        std::strerror(errno));
    }
    if (S_ISREG(entry.st_mode)) return current;
    if (!S_ISLNK(entry.st_mode)) {
      const std::string via = current == path ? "" : " (reached through the link " + path + ")";
      throw DestinationError("output path " + current + via + " is " + KindOf(entry.st_mode) +
                             "; only a regular file or a new name can be written");
    }
    if (links == kMaxLinks) {
      throw DestinationError("output path " + path + " goes through more than " +
                             std::to_string(kMaxLinks) + " symbolic links");
    }
    const std::string target = ReadLink(current);
    current = !target.empty() && target.front() == '/' ? target
                                                         : FolderOf(current) + "/" + target;
  }
}

}  // namespace mkmdb
