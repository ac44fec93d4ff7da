#include "data_source.h"

#include "jet/loaded_library.h"

#include <odbcinst.h>

#include <initializer_list>

namespace mdbodbc {
namespace {

using ReadProfileString = decltype(&SQLGetPrivateProfileString);

// The installer library is loaded on the first data-source lookup only: a connection string
// with DBQ, the common case, never needs it, and loading a library is a good part of what a
// short run of a client costs.
struct Installer {
  jet::LoadedLibrary library{"libodbcinst.so.2"};
  std::string problem;  // why `read` is null
  ReadProfileString read = library.Find<ReadProfileString>("SQLGetPrivateProfileString", problem);
};

const Installer& TheInstaller() {
  static const Installer installer;
  return installer;
}

}  // namespace

std::string DataSourceValue(const std::string& name, const char* key, std::string& problem) {
  const Installer& installer = TheInstaller();
  if (installer.read == nullptr) {
    problem = "odbc.ini cannot be read: " + installer.problem;
    return {};
  }
  char value[4096] = {};
  int n = installer.read(name.c_str(), key, "", value, sizeof value, "odbc.ini");
  return n > 0 ? std::string(value) : std::string();
}

DataSource ReadDataSource(const std::string& name, std::string& problem) {
  const Installer& installer = TheInstaller();
  if (installer.read == nullptr) {
    problem = "odbc.ini cannot be read: " + installer.problem;
    return {};
  }
  // The first of `keys` the data source sets to something.
  auto first = [&](std::initializer_list<const char*> keys) -> std::optional<std::string> {
    char value[4096] = {};
    for (const char* key : keys) {
      int n = installer.read(name.c_str(), key, "", value, sizeof value, "odbc.ini");
      if (n > 0 && value[0] != '\0') return std::string(value);
    }
    return std::nullopt;
  };
  DataSource source;
  source.file = first({"DBQ", "Database"}).value_or("");
  source.password = first({"PWD", "Password"});
  return source;
}

}  // namespace mdbodbc
