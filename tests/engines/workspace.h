// The engine tests' temporary folder with what lives in it: the drivers' registration, the
// servers and the watchdog that removes everything when the test process is killed (a process,
// started first, that learns of every server the tests start and stop, and stops the servers
// still running and removes the folder when the test process ends without saying that it
// cleaned up).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace enginetest {

class Workspace {
 public:
  // Makes the folder, starts the watchdog and registers the drivers found; points ODBCSYSINI
  // at the folder.
  Workspace();
  // Stops the servers still running and removes the folder.
  ~Workspace();

  const std::string& Folder() const { return m_folder.path(); }

  // A new folder inside the workspace, owned by the servers' user.
  std::string ServerFolder(const std::string& name);

  // Starts a server that stops on `stopSignal`; its output goes to `log`.
  testsupport::Child& StartServer(const std::vector<std::string>& argv, const std::string& log,
                                  int stopSignal);
  // Runs a set-up command as the servers' user and throws with its output when it fails.
  void RunAsServerUser(const std::vector<std::string>& argv, const std::string& log);

  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

 private:
  struct Server {
    std::unique_ptr<testsupport::Child> child;
    int stopSignal;
  };

  // Removed last, once the servers are stopped and the watchdog is told.
  testsupport::TempFolder m_folder{"dravon-engines"};
  testsupport::ChildUser m_user;
  std::unique_ptr<testsupport::Child> m_watchdog;  // reads what it is told on its input
  std::vector<Server> m_servers;
};

}  // namespace enginetest
