// The database engines the access layer is tested against, each through its own Debian ODBC
// driver and the real unixODBC driver manager, and the servers the tests run for them.
//
// Every server lives in the tests' temporary folder: started on first use, once per test
// process, listening on a Unix socket in that folder only, and stopped and removed when the
// process ends (a watchdog does it when the process is killed). The drivers are registered in
// an odbcinst.ini in that folder (ODBCSYSINI), never in the machine's.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace enginetest {

enum class Engine { Sqlite, PostgreSql, MariaDb };

// One ODBC driver of an engine; PostgreSQL has two (ANSI and Unicode).
struct EngineDriver {
  const char* name;     // the test parameter's name
  Engine engine;
  const char* section;  // its section in the tests' odbcinst.ini, named in DRIVER={...}
  // An ANSI driver: it hands out text only as 8-bit text, in the connection's encoding.
  bool narrowText;
  const char* library;  // as the build found it; empty when its package is missing
  const char* package;  // the Debian package that brings it
};
const std::vector<EngineDriver>& AllDrivers();

// An error as the engine's own client reports it.
struct ClientError {
  std::string state;    // the SQLSTATE the client shows; empty when the engine has none
  std::string message;  // the engine's message, without the client's own prefix
};

// One running engine, reached by its own client and by ODBC.
class EngineServer {
 public:
  virtual ~EngineServer() = default;

  // A connect string for the layer (without the leading "ODBC;"), or the same for a server
  // that is not running.
  virtual std::string ConnectString(const EngineDriver& driver, bool stopped) const = 0;
  // What the client reports when it connects to that stopped server.
  virtual ClientError StoppedClientError() = 0;
  // Whether the driver passes on the engine's reason for a failed connection.
  virtual bool DriverReportsConnectReason() const { return true; }

  // The engine's type for text of up to 255 characters, and its long text type.
  std::string ShortTextType() const { return "varchar(255)"; }
  virtual std::string LongTextType() const = 0;

  // Runs SQL statements with the engine's client; throws when the client fails.
  void Execute(const std::string& sql);
  // The rows of a one-column SELECT as the client reads them, NULL as an empty text.
  std::vector<std::string> ReadRows(const std::string& select);
  // Runs a statement that the engine refuses and reads the client's report of the error.
  ClientError RefusedStatement(const std::string& sql);

 protected:
  // The client's command line for a script on standard input, and how it reports an error.
  virtual std::vector<std::string> ClientCommand() const = 0;
  virtual ClientError ParseClientError(const std::string& output) const = 0;
  virtual std::string NullAsEmpty(const std::string& select) const;
};

// Runs an engine's client with `input` on standard input, its two output streams joined in
// the result's `out`.
testsupport::ChildResult RunClient(const std::vector<std::string>& argv, const std::string& input);

// The package that is missing for a driver's tests, if any.
std::optional<std::string> MissingPackage(const EngineDriver& driver);

// The engine's server, started on first use. Requires that no package is missing.
EngineServer& Server(Engine engine);

// True when an engine test must fail instead of skipping for a missing package (CI).
bool EnginesRequired();

// A SQL text literal of UTF-8 text; NULL for none.
std::string SqlLiteral(const std::optional<std::string>& value);

class Workspace;

// The per-engine servers, each in a folder of its own inside the workspace.
std::unique_ptr<EngineServer> StartSqlite(Workspace& workspace);
std::unique_ptr<EngineServer> StartPostgreSql(Workspace& workspace);
std::unique_ptr<EngineServer> StartMariaDb(Workspace& workspace);

}  // namespace enginetest
