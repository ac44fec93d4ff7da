#include "data_source.h"

#include <dlfcn.h>
#include <odbcinst.h>

namespace mdbodbc {
namespace {

// The installer library is loaded on the first data-source lookup only: a connection string
// with DBQ, the common case, never needs it, and loading a library is a good part of what a
// short run of a client costs.
constexpr char kInstallerLibrary[] = "libodbcinst.so.2";

class Installer {
 public:
  Installer() {
    m_library = ::dlopen(kInstallerLibrary, RTLD_NOW | RTLD_LOCAL);
    if (m_library == nullptr) {
      const char* reason = ::dlerror();
      m_problem = reason != nullptr ? reason : kInstallerLibrary;
      return;
    }
    m_read = reinterpret_cast<decltype(&SQLGetPrivateProfileString)>(
        ::dlsym(m_library, "SQLGetPrivateProfileString"));
    if (m_read == nullptr) m_problem = std::string(kInstallerLibrary) + " has no SQLGetPrivateProfileString";
  }
  ~Installer() {
    if (m_library != nullptr) ::dlclose(m_library);
  }
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;

  decltype(&SQLGetPrivateProfileString) read() const { return m_read; }
  const std::string& problem() const { return m_problem; }

 private:
  void* m_library = nullptr;
  decltype(&SQLGetPrivateProfileString) m_read = nullptr;
  std::string m_problem;
};

const Installer& TheInstaller() {
  static const Installer installer;
  return installer;
}

}  // namespace

std::string DataSourceFile(const std::string& name, std::string& problem) {
  const Installer& installer = TheInstaller();
  if (installer.read() == nullptr) {
    problem = "odbc.ini cannot be read: " + installer.problem();
    return {};
  }
  char value[4096] = {};
  for (const char* key : {"DBQ", "Database"}) {
    int n = installer.read()(name.c_str(), key, "", value, sizeof value, "odbc.ini");
    if (n > 0 && value[0] != '\0') return value;
  }
  return {};
}

}  // namespace mdbodbc
