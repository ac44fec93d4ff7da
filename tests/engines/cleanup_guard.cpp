#include "tests/engines/cleanup_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "tests/engines/child_process.h"

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

}  // namespace

CleanupGuard::CleanupGuard(const std::string& folder) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
  }
  const char* argv[] = {"/bin/sh", "-c", kWatchdogScript, "engine-watchdog", folder.c_str(),
                        nullptr};
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    // A session of its own: a signal to the tests' process group does not reach it.
    ::setsid();
    ::dup2(ends[0], STDIN_FILENO);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, STDOUT_FILENO);
    ::dup2(null, STDERR_FILENO);
    ::execv(argv[0], const_cast<char* const*>(argv));
    ::_exit(127);
  }
  ::close(ends[0]);
  m_pipe = ends[1];
  m_watchdog = pid;
}

CleanupGuard::~CleanupGuard() {
  Tell("done\n");
  ::close(m_pipe);
  WaitChild(m_watchdog);
}

void CleanupGuard::ServerStarted(pid_t pid, int signal) {
  Tell("start " + std::to_string(pid) + " " + std::to_string(signal) + "\n");
}

void CleanupGuard::ServerStopped(pid_t pid) { Tell("stop " + std::to_string(pid) + "\n"); }

void CleanupGuard::Tell(const std::string& line) {
  // A watchdog that is gone cannot be told; the write must not kill the tests (SIGPIPE).
  const sighandler_t previous = ::signal(SIGPIPE, SIG_IGN);
  [[maybe_unused]] const ssize_t written = ::write(m_pipe, line.data(), line.size());
  ::signal(SIGPIPE, previous);
}

}  // namespace enginetest
