#include "quiet_stdio.h"

#include <sys/types.h>

namespace mdbodbc {
namespace {

constexpr size_t kCaptureLimit = 16 * 1024;

ssize_t WriteToCapture(void* cookie, const char* data, size_t size) {
  auto* text = static_cast<std::string*>(cookie);
  if (text->size() < kCaptureLimit) text->append(data, std::min(size, kCaptureLimit - text->size()));
  return static_cast<ssize_t>(size);
}

}  // namespace

std::recursive_mutex& LibraryMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

QuietStdio::QuietStdio() : lock_(LibraryMutex()) {
  cookie_io_functions_t io{};
  io.write = &WriteToCapture;
  sink_ = fopencookie(&captured_, "w", io);
  if (sink_ == nullptr) return;
  setvbuf(sink_, nullptr, _IONBF, 0);
  // Anything the host program left in the stdout buffer goes out now, before the swap.
  fflush(stdout);
  savedOut_ = stdout;
  savedErr_ = stderr;
  stdout = sink_;
  stderr = sink_;
}

QuietStdio::~QuietStdio() {
  if (sink_ == nullptr) return;
  stdout = savedOut_;
  stderr = savedErr_;
  fclose(sink_);
}

const std::string& QuietStdio::Captured() {
  if (sink_ != nullptr) fflush(sink_);
  return captured_;
}

}  // namespace mdbodbc
