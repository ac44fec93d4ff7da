// Removal of a half-written output file when the process is interrupted by a signal.
//
// A command-line tool calls InstallInterruptCleanup() once; from then on the temporary file of
// the database being written is deleted on SIGINT, SIGTERM, SIGHUP, SIGQUIT or SIGPIPE before the
// process dies of that signal. A signal that is ignored when the call is made stays ignored.
// Without the call the tracking below does nothing, so library users in several threads are not
// affected.
#pragma once

#include <signal.h>

#include <string>

namespace mkmdb {

void InstallInterruptCleanup();

// Holds the signals above back in the calling thread while it lives, so that none arrives
// between the creation of a temporary file and its registration. Does nothing without
// InstallInterruptCleanup().
class CleanupSignalsHeld {
 public:
  CleanupSignalsHeld();
  ~CleanupSignalsHeld();
  CleanupSignalsHeld(const CleanupSignalsHeld&) = delete;
  CleanupSignalsHeld& operator=(const CleanupSignalsHeld&) = delete;

 private:
  sigset_t previous_;
  bool held_ = false;
};

// Called by PageFile: the file to delete if a signal arrives now / no file any more.
void SetPendingOutput(const std::string& path);
void ClearPendingOutput();

}  // namespace mkmdb
