// The guard that leaves nothing behind when the test process is killed: a watchdog process,
// started first, that learns of every server the tests start and stop. When the test process
// ends without saying that it cleaned up (it was killed, or crashed), the watchdog stops the
// servers still running and removes the tests' temporary folder.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "tests/support/child_process.h"

namespace enginetest {

class CleanupGuard {
 public:
  explicit CleanupGuard(const std::string& folder);
  // Ends the watchdog without any work of its own: the caller has cleaned up.
  ~CleanupGuard();

  // A server was started and is stopped with `signal`; a server was stopped by the tests.
  void ServerStarted(pid_t pid, int signal);
  void ServerStopped(pid_t pid);

  CleanupGuard(const CleanupGuard&) = delete;
  CleanupGuard& operator=(const CleanupGuard&) = delete;

 private:
  std::unique_ptr<testsupport::Child> m_watchdog;  // reads what it is told on its input
};

}  // namespace enginetest
