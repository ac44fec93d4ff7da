// Removal of a half-written output file when the process is interrupted by a signal.
//
// A command-line tool calls InstallInterruptCleanup() once; from then on the temporary file of
// the database being written is deleted on SIGINT, SIGTERM, SIGHUP or SIGPIPE before the process
// dies of that signal. Without the call the tracking below does nothing, so library users in
// several threads are not affected.
#pragma once

#include <string>

namespace mkmdb {

void InstallInterruptCleanup();

// Called by PageFile: the file to delete if a signal arrives now / no file any more.
void SetPendingOutput(const std::string& path);
void ClearPendingOutput();

}  // namespace mkmdb
