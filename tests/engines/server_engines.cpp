// The engines that run a server, MariaDB 10.11 and PostgreSQL 15: set up into a folder of the
// workspace (mariadb-install-db, initdb), the server on a Unix socket in that folder only (no
// TCP), run as the servers' user, since PostgreSQL refuses to run as root. One implementation;
// the engines differ only in the data of their ServerKind.
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

using Argv = std::vector<std::string>;

constexpr char kDatabase[] = "hangar";
constexpr char kRole[] = "dravon";  // PostgreSQL's superuser, made by initdb, trusted
constexpr char kPort[] = "5432";    // names PostgreSQL's socket file only

// What sets a server engine apart. `place` is the folder its socket is in.
struct ServerKind {
  const char* name;  // its folder in the workspace
  Argv (*setUp)(const std::string& data);
  Argv (*server)(const std::string& data, const std::string& place);
  int stopSignal;
  bool (*ready)(const std::string& place);  // accepts connections
  const char* firstDatabase;                // the client's database until the tests' own is made
  Argv (*client)(const std::string& place, const std::string& database);
  std::string (*connect)(const EngineDriver& driver, const std::string& place);
  const char* longTextType;
  ClientError (*parseError)(const std::string& output);
  // NULL as empty text for a column of any type; null for EngineServer's way.
  std::string (*nullAsEmpty)(const std::string& select);
};

// "ERROR 1146 (42S02) at line 1: Table 'hangar.nope' doesn't exist", or for a connection
// "ERROR 2002 (HY000): Can't connect to local server through socket ...".
ClientError ParseMariaDbError(const std::string& output) {
  // The report may follow the statement, framed in dashes.
  std::string::size_type at = ("\n" + output).find("\nERROR ");
  if (at == std::string::npos) at = 0;
  const std::string line = output.substr(at, output.find('\n', at) - at);
  const std::string::size_type open = line.find(" (");
  const std::string::size_type message = line.find(": ");
  if (line.rfind("ERROR ", 0) != 0 || open == std::string::npos || message == std::string::npos) {
    return {"", line};
  }
  return {line.substr(open + 2, 5), line.substr(message + 2)};
}

// "ERROR:  42P01: relation "nope" does not exist" (verbose), or for a connection
// "psql: error: connection to server on socket ... failed: ...".
ClientError ParsePostgreSqlError(const std::string& output) {
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

const ServerKind kMariaDb = {
    "mariadb",
    // root with an empty password, whatever user runs the tests (not the socket
    // authentication, which would admit only the machine's root).
    [](const std::string& data) -> Argv {
      return {ENGINE_MARIADB_INSTALL_DB, "--no-defaults", "--datadir=" + data,
              "--auth-root-authentication-method=normal", "--skip-test-db", "--skip-name-resolve"};
    },
    // Standard string literals (no backslash escapes) and UTF-8 text by default; without
    // --log-error the server reports on its standard error, the server's log.
    [](const std::string& data, const std::string& place) -> Argv {
      return {ENGINE_MARIADB_SERVER, "--no-defaults", "--datadir=" + data,
              "--socket=" + place + "/server.sock", "--skip-networking",
              "--pid-file=" + place + "/server.pid", "--character-set-server=utf8mb4",
              "--collation-server=utf8mb4_unicode_ci",
              "--sql-mode=STRICT_TRANS_TABLES,NO_BACKSLASH_ESCAPES", "--skip-log-bin",
              "--innodb-buffer-pool-size=16M", "--innodb-log-file-size=8M",
              "--performance-schema=OFF"};
    },
    SIGTERM,
    // The socket appears once the server accepts connections.
    [](const std::string& place) { return std::filesystem::exists(place + "/server.sock"); },
    "",
    [](const std::string& place, const std::string& database) {
      Argv command = {ENGINE_MARIADB_CLIENT, "--no-defaults", "--socket=" + place + "/server.sock",
                      "--user=root", "--default-character-set=utf8mb4", "--batch",
                      "--skip-column-names", "--raw"};
      if (!database.empty()) command.push_back(database);
      return command;
    },
    // NO_PROMPT: the layer connects with SQL_DRIVER_COMPLETE and a stand-in window handle, and
    // on a failed connection this driver would try to prompt through a setup library that is
    // not there, reporting that instead of the server's error.
    [](const EngineDriver& driver, const std::string& place) {
      return std::string("DRIVER={") + driver.section + "};SOCKET=" + place +
             "/server.sock;UID=root;PWD=;DATABASE=" + kDatabase + ";CHARSET=utf8mb4;NO_PROMPT=1";
    },
    "mediumtext",
    ParseMariaDbError,
    nullptr,
};

std::string PostgreSqlConnInfo(const std::string& place, const std::string& database) {
  return "host=" + place + " port=" + kPort + " user=" + kRole + " dbname=" + database +
         " client_encoding=UTF8";
}

const ServerKind kPostgreSql = {
    "postgresql",
    [](const std::string& data) -> Argv {
      return {ENGINE_POSTGRESQL_INITDB, "--pgdata=" + data, "--auth=trust",
              "--username=" + std::string(kRole), "--encoding=UTF8", "--no-locale", "--no-sync"};
    },
    [](const std::string& data, const std::string& place) -> Argv {
      return {ENGINE_POSTGRESQL_SERVER, "-D", data, "-p", kPort, "-k", place, "-c",
              "listen_addresses=", "-c", "fsync=off", "-c", "full_page_writes=off"};
    },
    // Fast shutdown: the clients are cut off and the server removes its socket.
    SIGINT,
    // The server writes "ready" in its pid file once it accepts connections.
    [](const std::string& place) {
      return testsupport::ReadFile(place + "/data/postmaster.pid").find("ready") !=
             std::string::npos;
    },
    "postgres",
    [](const std::string& place, const std::string& database) -> Argv {
      return {ENGINE_POSTGRESQL_CLIENT, "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1",
              "-v", "VERBOSITY=verbose", PostgreSqlConnInfo(place, database)};
    },
    // The driver hands Servername to libpq, which takes a folder as the socket's place.
    [](const EngineDriver& driver, const std::string& place) {
      return std::string("DRIVER={") + driver.section + "};Servername=" + place + ";Port=" + kPort +
             ";Database=" + kDatabase + ";UID=" + kRole;
    },
    "text",
    ParsePostgreSqlError,
    [](const std::string& select) {
      const std::string::size_type from = select.find(" FROM ");
      return "SELECT COALESCE(CAST(" + select.substr(7, from - 7) + " AS text), '')" +
             select.substr(from);
    },
};

class ServerEngine : public EngineServer {
 public:
  ServerEngine(Workspace& workspace, const ServerKind& kind)
      : m_kind(kind),
        m_place(workspace.ServerFolder(kind.name)),
        m_stoppedPlace(workspace.ServerFolder(std::string(kind.name) + "-stopped")),
        m_clientDatabase(kind.firstDatabase) {
    const std::string data = m_place + "/data";
    const std::string log = m_place + "/server.log";
    workspace.RunAsServerUser(kind.setUp(data), m_place + "/setup.log");
    testsupport::Child& server =
        workspace.StartServer(kind.server(data, m_place), log, kind.stopSignal);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!kind.ready(m_place)) {
      if (!server.Running()) {
        throw std::runtime_error("the server ended:\n" + testsupport::ReadFile(log));
      }
      if (std::chrono::steady_clock::now() > deadline) {
        throw std::runtime_error(std::string(kind.name) + " did not get ready:\n" +
                                 testsupport::ReadFile(log));
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // The first database makes the tests' own, which the client uses from then on.
    Execute(std::string("CREATE DATABASE ") + kDatabase + ";\n");
    m_clientDatabase = kDatabase;
  }

  std::string ConnectString(const EngineDriver& driver, bool stopped) const override {
    return m_kind.connect(driver, stopped ? m_stoppedPlace : m_place);
  }
  ClientError StoppedClientError() override {
    return m_kind.parseError(
        RunClient(m_kind.client(m_stoppedPlace, kDatabase), "SELECT 1;\n").out);
  }

  std::string LongTextType() const override { return m_kind.longTextType; }

 protected:
  std::vector<std::string> ClientCommand() const override {
    return m_kind.client(m_place, m_clientDatabase);
  }
  ClientError ParseClientError(const std::string& output) const override {
    return m_kind.parseError(output);
  }
  std::string NullAsEmpty(const std::string& select) const override {
    return m_kind.nullAsEmpty ? m_kind.nullAsEmpty(select) : EngineServer::NullAsEmpty(select);
  }

 private:
  const ServerKind& m_kind;
  std::string m_place;
  std::string m_stoppedPlace;  // a socket folder where no server runs
  std::string m_clientDatabase;
};

}  // namespace

std::unique_ptr<EngineServer> StartPostgreSql(Workspace& workspace) {
  return std::make_unique<ServerEngine>(workspace, kPostgreSql);
}

std::unique_ptr<EngineServer> StartMariaDb(Workspace& workspace) {
  return std::make_unique<ServerEngine>(workspace, kMariaDb);
}

}  // namespace enginetest
