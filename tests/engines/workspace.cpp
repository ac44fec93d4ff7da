#include "tests/engines/workspace.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "tests/engines/engines.h"

namespace enginetest {

namespace {

// The drivers' libraries as the build found them; empty when a package is missing.
struct DriverLibrary {
  const char* section;
  const char* path;
};
constexpr DriverLibrary kDriverLibraries[] = {
    {"SQLite3", ENGINE_SQLITE_DRIVER},
    {"PostgreSQL ANSI", ENGINE_POSTGRESQL_ANSI_DRIVER},
    {"PostgreSQL Unicode", ENGINE_POSTGRESQL_UNICODE_DRIVER},
    {"MariaDB", ENGINE_MARIADB_DRIVER},
};

std::string MakeTemporaryFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "dravon-engines-XXXXXX");
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
  }
  return pattern;
}

// The tests' own registration. The driver manager would load its cursor library only for a
// driver that cannot scroll; the tests check that it never does.
std::string OdbcInstIni() {
  std::string text;
  for (const DriverLibrary& driver : kDriverLibraries) {
    if (*driver.path == '\0') continue;
    text += std::string("[") + driver.section + "]\nDriver=" + driver.path + "\n\n";
  }
  return text;
}

}  // namespace

Workspace::Workspace() : m_folder(MakeTemporaryFolder()), m_user(UnprivilegedUser()) {
  m_guard = std::make_unique<CleanupGuard>(m_folder);
  // The servers' user reaches its folders through this one.
  HandOver(m_folder, m_user);
  WriteFile(m_folder + "/odbcinst.ini", OdbcInstIni());
  WriteFile(m_folder + "/odbc.ini", "");
  ::setenv("ODBCSYSINI", m_folder.c_str(), 1);
}

Workspace::~Workspace() {
  for (auto server = m_servers.rbegin(); server != m_servers.rend(); ++server) {
    StopChild(server->pid, server->stopSignal, 30);
    m_guard->ServerStopped(server->pid);
  }
  std::error_code ignored;
  std::filesystem::remove_all(m_folder, ignored);
  m_guard.reset();
}

std::string Workspace::ServerFolder(const std::string& name) {
  const std::string folder = m_folder + "/" + name;
  std::filesystem::create_directory(folder);
  HandOver(folder, m_user);
  return folder;
}

pid_t Workspace::StartServer(const std::vector<std::string>& argv, const std::string& log,
                             int stopSignal) {
  ChildOptions options;
  options.argv = argv;
  options.output = log;
  options.user = m_user;
  // Should the test process die, the server is told to stop at once, before the watchdog
  // comes to it.
  options.deathSignal = stopSignal;
  const pid_t pid = StartChild(options);
  m_guard->ServerStarted(pid, stopSignal);
  m_servers.push_back({pid, stopSignal});
  return pid;
}

void Workspace::RunAsServerUser(const std::vector<std::string>& argv, const std::string& log) {
  ChildOptions options;
  options.argv = argv;
  options.output = log;
  options.user = m_user;
  const int status = WaitChild(StartChild(options));
  if (status != 0) {
    throw std::runtime_error(argv[0] + " failed (status " + std::to_string(status) + "):\n" +
                             ReadFile(log));
  }
}

void Workspace::CheckServerRunning(pid_t pid, const std::string& log) const {
  if (!ChildRunning(pid)) throw std::runtime_error("the server ended:\n" + ReadFile(log));
}

}  // namespace enginetest
