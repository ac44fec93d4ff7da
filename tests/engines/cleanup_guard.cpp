#include "tests/engines/cleanup_guard.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

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
  testsupport::ChildOptions options;
  options.argv = {"/bin/sh", "-c", kWatchdogScript, "engine-watchdog", folder};
  options.inputOpen = true;
  // Nothing to read from it, and nothing that would stop it once the tests are gone.
  options.outputFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (options.outputFd < 0) throw std::runtime_error("cannot open /dev/null");
  options.mergeErrors = true;
  m_watchdog = std::make_unique<testsupport::Child>(options);
  ::close(options.outputFd);
  if (!m_watchdog->started()) throw std::runtime_error(m_watchdog->err());
}

CleanupGuard::~CleanupGuard() {
  m_watchdog->Write("done\n");
  m_watchdog->Wait(std::chrono::seconds(30));
}

void CleanupGuard::ServerStarted(pid_t pid, int signal) {
  m_watchdog->Write("start " + std::to_string(pid) + " " + std::to_string(signal) + "\n");
}

void CleanupGuard::ServerStopped(pid_t pid) { m_watchdog->Write("stop " + std::to_string(pid) + "\n"); }

}  // namespace enginetest
