// MariaDB 10.11: mariadb-install-db into the workspace and the server on a Unix socket in its
// folder only (--skip-networking), run as the servers' user.
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/engines/engines.h"
#include "tests/engines/workspace.h"
#include "tests/support/temp_folder.h"

namespace enginetest {

namespace {

constexpr char kDatabase[] = "hangar";

class MariaDbEngine : public EngineServer {
 public:
  explicit MariaDbEngine(Workspace& workspace) {
    m_scratch = workspace.Folder();
    m_folder = workspace.ServerFolder("mariadb");
    m_socket = m_folder + "/server.sock";
    const std::string data = m_folder + "/data";
    const std::string log = m_folder + "/server.log";

    // root with an empty password, whatever user runs the tests (not the socket
    // authentication, which would admit only the machine's root).
    workspace.RunAsServerUser({ENGINE_MARIADB_INSTALL_DB, "--no-defaults", "--datadir=" + data,
                               "--auth-root-authentication-method=normal", "--skip-test-db",
                               "--skip-name-resolve"},
                              m_folder + "/install.log");
    // Standard string literals (no backslash escapes) and UTF-8 text by default.
    const pid_t pid = workspace.StartServer(
        {ENGINE_MARIADB_SERVER, "--no-defaults", "--datadir=" + data, "--socket=" + m_socket,
         "--skip-networking", "--pid-file=" + m_folder + "/server.pid",
         "--log-error=" + log, "--character-set-server=utf8mb4",
         "--collation-server=utf8mb4_unicode_ci",
         "--sql-mode=STRICT_TRANS_TABLES,NO_BACKSLASH_ESCAPES", "--skip-log-bin",
         "--innodb-buffer-pool-size=16M", "--innodb-log-file-size=8M",
         "--performance-schema=OFF"},
        m_folder + "/server.out", SIGTERM);
    WaitUntilReady(workspace, pid, log);
    Execute(std::string("CREATE DATABASE ") + kDatabase + ";\n");
    m_clientDatabase = kDatabase;
  }

  std::string ConnectString(const EngineDriver& driver) const override {
    return ConnectStringFor(driver, m_socket);
  }
  std::string StoppedConnectString(const EngineDriver& driver) const override {
    return ConnectStringFor(driver, StoppedSocket());
  }
  ClientError StoppedClientError() override {
    const testsupport::ChildResult result =
        RunClient(ClientCommandFor(StoppedSocket(), ""), "SELECT 1;\n");
    return ParseClientError(result.out);
  }

  std::string ShortTextType() const override { return "varchar(255)"; }
  std::string LongTextType() const override { return "mediumtext"; }

 protected:
  std::vector<std::string> ClientCommand() const override {
    return ClientCommandFor(m_socket, m_clientDatabase);
  }

  // "ERROR 1146 (42S02) at line 1: Table 'hangar.nope' doesn't exist", or for a connection
  // "ERROR 2002 (HY000): Can't connect to local server through socket ...".
  ClientError ParseClientError(const std::string& output) const override {
    // The report may follow the statement, framed in dashes.
    std::string::size_type at = output.rfind("ERROR ", 0) == 0 ? 0 : output.find("\nERROR ");
    if (at == std::string::npos) at = 0;
    if (output[at] == '\n') ++at;
    const std::string line = output.substr(at, output.find('\n', at) - at);
    const std::string::size_type open = line.find(" (");
    const std::string::size_type message = line.find(": ");
    if (line.rfind("ERROR ", 0) != 0 || open == std::string::npos ||
        message == std::string::npos) {
      return {"", line};
    }
    return {line.substr(open + 2, 5), line.substr(message + 2)};
  }

 private:
  std::vector<std::string> ClientCommandFor(const std::string& socket,
                                            const std::string& database) const {
    std::vector<std::string> command = {ENGINE_MARIADB_CLIENT, "--no-defaults",
                                        "--socket=" + socket, "--user=root",
                                        "--default-character-set=utf8mb4", "--batch",
                                        "--skip-column-names", "--raw"};
    if (!database.empty()) command.push_back(database);
    return command;
  }

  // NO_PROMPT: the layer connects with SQL_DRIVER_COMPLETE and a stand-in window handle, and
  // on a failed connection this driver would try to prompt through a setup library that is
  // not there, reporting that instead of the server's error.
  static std::string ConnectStringFor(const EngineDriver& driver, const std::string& socket) {
    return std::string("DRIVER={") + driver.section + "};SOCKET=" + socket +
           ";UID=root;PWD=;DATABASE=" + kDatabase + ";CHARSET=utf8mb4;NO_PROMPT=1";
  }

  std::string StoppedSocket() const { return m_scratch + "/mariadb-stopped.sock"; }

  // The socket appears once the server accepts connections.
  void WaitUntilReady(Workspace& workspace, pid_t pid, const std::string& log) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(m_socket)) {
      workspace.CheckServerRunning(pid, log);
      if (std::chrono::steady_clock::now() > deadline) {
        throw std::runtime_error("MariaDB did not get ready:\n" + testsupport::ReadFile(log));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  std::string m_folder;
  std::string m_socket;
  std::string m_clientDatabase;
};

}  // namespace

std::unique_ptr<EngineServer> StartMariaDb(Workspace& workspace) {
  return std::make_unique<MariaDbEngine>(workspace);
}

}  // namespace enginetest
