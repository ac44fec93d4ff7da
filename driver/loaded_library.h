// A shared library the driver opens when it first needs it, and closes as the driver is unloaded.
#pragma once

#include <dlfcn.h>

#include <string>

namespace mdbodbc {

class LoadedLibrary {
 public:
  explicit LoadedLibrary(const char* soname) : m_soname(soname), m_handle(::dlopen(soname, RTLD_NOW | RTLD_LOCAL)) {
    if (m_handle == nullptr) {
      const char* reason = ::dlerror();
      m_problem = reason != nullptr ? reason : m_soname + " cannot be loaded";
    }
  }
  ~LoadedLibrary() {
    if (m_handle != nullptr) ::dlclose(m_handle);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;

  // The function `name` of the library, or null with `problem` saying why.
  template <typename Function>
  Function Find(const char* name, std::string& problem) const {
    if (m_handle == nullptr) {
      problem = m_problem;
      return nullptr;
    }
    void* found = ::dlsym(m_handle, name);
    if (found == nullptr) problem = m_soname + " has no " + name;
    return reinterpret_cast<Function>(found);
  }

 private:
  std::string m_soname;
  void* m_handle;
  std::string m_problem;
};

}  // namespace mdbodbc
