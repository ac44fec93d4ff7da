// PostgreSQL 15: initdb into the workspace and the server on a Unix socket in its folder only
// (no TCP), run as the servers' user, since PostgreSQL refuses to run as root.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <thread>

#include "tests/engines/engines.h"
#include "tests/engines/workspace.h"
#include "tests/support/temp_folder.h"

namespace enginetest {

namespace {

// The server's superuser, made by initdb, reached with trust authentication on the socket.
constexpr char kRole[] = "dravon";
constexpr char kDatabase[] = "hangar";
constexpr char kPort[] = "5432";  // names the socket file only

class PostgreSqlEngine : public EngineServer {
 public:
  explicit PostgreSqlEngine(Workspace& workspace) {
    m_scratch = workspace.Folder();
    m_folder = workspace.ServerFolder("postgresql");
    m_stoppedFolder = workspace.ServerFolder("postgresql-stopped");
    const std::string data = m_folder + "/data";
    const std::string log = m_folder + "/server.log";

    workspace.RunAsServerUser({ENGINE_POSTGRESQL_INITDB, "--pgdata=" + data, "--auth=trust",
                               "--username=" + std::string(kRole), "--encoding=UTF8",
                               "--no-locale", "--no-sync"},
                              m_folder + "/initdb.log");
    // Fast shutdown on SIGINT: the clients are cut off and the server removes its socket.
    const pid_t pid = workspace.StartServer(
        {ENGINE_POSTGRESQL_SERVER, "-D", data, "-p", kPort, "-k", m_folder, "-c",
         "listen_addresses=", "-c", "fsync=off", "-c", "full_page_writes=off"},
        log, SIGINT);
    WaitUntilReady(workspace, pid, log);
    // The maintenance database makes the tests' own, which the client uses from then on.
    Execute(std::string("CREATE DATABASE ") + kDatabase + ";\n");
    m_clientDatabase = kDatabase;
  }

  std::string ConnectString(const EngineDriver& driver) const override {
    return ConnectStringFor(driver, m_folder);
  }
  std::string StoppedConnectString(const EngineDriver& driver) const override {
    return ConnectStringFor(driver, m_stoppedFolder);
  }
  ClientError StoppedClientError() override {
    const testsupport::ChildResult result =
        RunClient({ENGINE_POSTGRESQL_CLIENT, "-X", ConnInfo(m_stoppedFolder, kDatabase)},
                  "SELECT 1;\n");
    return ParseClientError(result.out);
  }

  std::string ShortTextType() const override { return "varchar(255)"; }
  std::string LongTextType() const override { return "text"; }

 protected:
  std::vector<std::string> ClientCommand() const override {
    return {ENGINE_POSTGRESQL_CLIENT, "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1",
            "-v", "VERBOSITY=verbose", ConnInfo(m_folder, m_clientDatabase)};
  }

  // NULL as empty text for a column of any type.
  std::string NullAsEmpty(const std::string& select) const override {
    const std::string::size_type from = select.find(" FROM ");
    return "SELECT COALESCE(CAST(" + select.substr(7, from - 7) + " AS text), '')" +
           select.substr(from);
  }

  // "ERROR:  42P01: relation "nope" does not exist" (verbose), or for a connection
  // "psql: error: connection to server on socket ... failed: ...".
  ClientError ParseClientError(const std::string& output) const override {
    std::string line = output.substr(0, output.find('\n'));
    const std::string error = "ERROR:  ";
    const std::string::size_type at = line.find(error);
    if (at != std::string::npos) {
      line = line.substr(at + error.size());
      const std::string::size_type colon = line.find(": ");
      if (colon == 5) return {line.substr(0, 5), line.substr(colon + 2)};
      return {"", line};
    }
    const std::string client = "psql: error: ";
    if (line.rfind(client, 0) == 0) line = line.substr(client.size());
    return {"", line};
  }

 private:
  static std::string ConnInfo(const std::string& socketFolder, const std::string& database) {
    return "host=" + socketFolder + " port=" + kPort + " user=" + kRole + " dbname=" +
           database + " client_encoding=UTF8";
  }

  static std::string ConnectStringFor(const EngineDriver& driver, const std::string& folder) {
    // The driver hands Servername to libpq, which takes a folder as the socket's place.
    return std::string("DRIVER={") + driver.section + "};Servername=" + folder +
           ";Port=" + kPort + ";Database=" + kDatabase + ";UID=" + kRole;
  }

  // The server writes "ready" in its pid file once it accepts connections.
  void WaitUntilReady(Workspace& workspace, pid_t pid, const std::string& log) {
    const std::string pidFile = m_folder + "/data/postmaster.pid";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (testsupport::ReadFile(pidFile).find("ready") == std::string::npos) {
      workspace.CheckServerRunning(pid, log);
      if (std::chrono::steady_clock::now() > deadline) {
        throw std::runtime_error("PostgreSQL did not get ready:\n" + testsupport::ReadFile(log));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }

  std::string m_folder;
  std::string m_stoppedFolder;  // a socket folder where no server runs
  std::string m_clientDatabase = "postgres";
};

}  // namespace

std::unique_ptr<EngineServer> StartPostgreSql(Workspace& workspace) {
  return std::make_unique<PostgreSqlEngine>(workspace);
}

}  // namespace enginetest
