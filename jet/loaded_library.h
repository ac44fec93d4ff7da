// A shared library opened when it is first needed rather than with the program: the driver's
// installer and math libraries, the reader's cryptography library. Closed with the object.
#pragma once

#include <dlfcn.h>

#include <string>

namespace jet {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* soname)
      : soname_(soname), handle_(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) {
      const char* reason = ::dlerror();
      problem_ = reason != nullptr ? reason : soname_ + " cannot be loaded";
    }
  }
  ~LoadedLibrary() {
    if (handle_ != nullptr) ::dlclose(handle_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  bool loaded() const { return handle_ != nullptr; }
  // Why the library could not be opened (empty when it was).
  const std::string& problem() const { return problem_; }

  // The function `name` of the library, or null with `problem` saying why.
  template <typename Function>
  Function Find(const char* name, std::string& problem) const {
    if (handle_ == nullptr) {
      problem = problem_;
      return nullptr;
    }
    void* found = ::dlsym(handle_, name);
    if (found == nullptr) problem = soname_ + " has no " + name;
    return reinterpret_cast<Function>(found);
  }

 private:
  std::string soname_;
  void* handle_;
  std::string problem_;
};

}  // namespace jet
