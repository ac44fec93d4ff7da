#include "tests/engines/workspace.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "tests/engines/engines.h"

namespace enginetest {

namespace {

// Reads "start PID SIGNAL", "stop PID" and "done" lines. At the end of its input without a
// "done" (the test process is gone), it signals each server still listed, gives them ten
// seconds, kills what remains and removes the folder.
constexpr char kWatchdogScript[] = R"sh(
trap '' INT HUP TERM
servers=
while read -r what pid signal; do
  case $what in
    start) servers="$servers $pid:$signal" ;;
    stop) kept=; for s in $servers; do [ "${s%%:*}" = "$pid" ] || kept="$kept $s"; done
          servers=$kept ;;
    done) exit 0 ;;
  esac
done
for s in $servers; do kill -s "${s#*:}" "${s%%:*}" 2>/dev/null; done
tries=0
while [ $tries -lt 100 ]; do
  alive=; for s in $servers; do kill -0 "${s%%:*}" 2>/dev/null && alive=1; done
  [ -z "$alive" ] && break
  sleep 0.1; tries=$((tries + 1))
done
for s in $servers; do kill -s KILL "${s%%:*}" 2>/dev/null; done
rm -rf -- "$1"
)sh";

// Gives `path` (a folder the tests made) to the children's user.
void HandOver(const std::string& path, const testsupport::ChildUser& user) {
  if (!user.drop) return;
  if (::chown(path.c_str(), user.uid, user.gid) != 0) {
    throw std::runtime_error("cannot give " + path + " to the servers' user: " +
                             std::strerror(errno));
  }
}

// A child run as `user` that writes its standard output and error to `log`, opened here, as
// this user; the caller closes the log's descriptor once the child has it.
testsupport::ChildOptions LoggedChild(const std::vector<std::string>& argv, const std::string& log,
                                      const testsupport::ChildUser& user) {
  testsupport::ChildOptions options;
  options.argv = argv;
  options.outputFd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (options.outputFd < 0) {
    throw std::runtime_error("cannot open " + log + ": " + std::strerror(errno));
  }
  options.mergeErrors = true;
  options.user = user;
  return options;
}

// The tests' own registration. The driver manager would load its cursor library only for a
// driver that cannot scroll; the tests check that it never does.
std::string OdbcInstIni() {
  std::string text;
  for (const EngineDriver& driver : AllDrivers()) {
    if (*driver.library == '\0') continue;
    text += std::string("[") + driver.section + "]\nDriver=" + driver.library + "\n\n";
  }
  return text;
}

}  // namespace

Workspace::Workspace() : m_user(testsupport::UnprivilegedUser()) {
  // The watchdog, told of every server started (and how it stops) and stopped.
  testsupport::ChildOptions options;
  options.argv = {"/bin/sh", "-c", kWatchdogScript, "engine-watchdog", Folder()};
  options.inputOpen = true;
  // Nothing to read from it, and nothing that would stop it once the tests are gone.
  options.outputFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (options.outputFd < 0) throw std::runtime_error("cannot open /dev/null");
  options.mergeErrors = true;
  m_watchdog = std::make_unique<testsupport::Child>(options);
  ::close(options.outputFd);
  if (!m_watchdog->started()) throw std::runtime_error(m_watchdog->err());
  // The servers' user reaches its folders through this one.
  HandOver(Folder(), m_user);
  testsupport::WriteFile(Folder() + "/odbcinst.ini", OdbcInstIni());
  testsupport::WriteFile(Folder() + "/odbc.ini", "");
  ::setenv("ODBCSYSINI", Folder().c_str(), 1);
}

Workspace::~Workspace() {
  for (auto server = m_servers.rbegin(); server != m_servers.rend(); ++server) {
    const pid_t pid = server->child->pid();
    server->child->Signal(server->stopSignal);
    server->child->Wait(std::chrono::seconds(30));
    m_watchdog->Write("stop " + std::to_string(pid) + "\n");
  }
  m_servers.clear();
  // Told that the caller cleaned up, the watchdog ends without any work of its own.
  m_watchdog->Write("done\n");
  m_watchdog->Wait(std::chrono::seconds(30));
}

std::string Workspace::ServerFolder(const std::string& name) {
  const std::string folder = m_folder.Path(name);
  std::filesystem::create_directory(folder);
  HandOver(folder, m_user);
  return folder;
}

testsupport::Child& Workspace::StartServer(const std::vector<std::string>& argv,
                                           const std::string& log, int stopSignal) {
  testsupport::ChildOptions options = LoggedChild(argv, log, m_user);
  // Should the test process die, the server is told to stop at once, before the watchdog
  // comes to it.
  options.deathSignal = stopSignal;
  auto child = std::make_unique<testsupport::Child>(options);
  ::close(options.outputFd);
  if (!child->started()) throw std::runtime_error(child->err());
  m_watchdog->Write("start " + std::to_string(child->pid()) + " " + std::to_string(stopSignal) +
                    "\n");
  m_servers.push_back({std::move(child), stopSignal});
  return *m_servers.back().child;
}

void Workspace::RunAsServerUser(const std::vector<std::string>& argv, const std::string& log) {
  const testsupport::ChildOptions options = LoggedChild(argv, log, m_user);
  const testsupport::ChildResult run = testsupport::RunChild(options, std::chrono::minutes(5));
  ::close(options.outputFd);
  if (run.exitCode != 0) {
    throw std::runtime_error(argv[0] + " failed (" + run.How() + "):\n" + run.err +
                             testsupport::ReadFile(log));
  }
}

}  // namespace enginetest
