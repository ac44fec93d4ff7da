#include "framework/executable_path.h"

#include <sys/auxv.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// The name the program was started by, made absolute with its links resolved: the file that
// /proc/self/exe names, got without the procfs lookup, which costs a short run more than the
// resolution does.
std::string ResolvedStartName() {
  const char* name = reinterpret_cast<const char*>(::getauxval(AT_EXECFN));
  if (name == nullptr || *name == '\0') return {};
  std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(name, nullptr), &std::free);
  return resolved ? std::string(resolved.get()) : std::string();
}

std::string ReadExecutableLink() {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

// Read once: every message box names the executable in its caption. A start name that no
// longer resolves (the file was moved or removed since) leaves the answer to /proc/self/exe.
std::string ExecutablePath() {
  static const std::string path = [] {
    std::string resolved = ResolvedStartName();
    return resolved.empty() ? ReadExecutableLink() : resolved;
  }();
  return path;
}
