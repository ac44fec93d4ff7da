#include "tests/engines/engines.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <sstream>
#include <stdexcept>

#include "tests/engines/workspace.h"

namespace enginetest {

namespace {

// What each engine's tests need besides the driver, with the Debian package that brings it. A
// path is empty when the build did not find it.
struct Requirement {
  Engine engine;
  const char* path;
  const char* package;
};
constexpr Requirement kRequirements[] = {
    {Engine::Sqlite, ENGINE_SQLITE_CLIENT, "sqlite3"},
    {Engine::PostgreSql, ENGINE_POSTGRESQL_INITDB, "postgresql"},
    {Engine::PostgreSql, ENGINE_POSTGRESQL_SERVER, "postgresql"},
    {Engine::PostgreSql, ENGINE_POSTGRESQL_CLIENT, "postgresql-client"},
    {Engine::MariaDb, ENGINE_MARIADB_INSTALL_DB, "mariadb-server"},
    {Engine::MariaDb, ENGINE_MARIADB_SERVER, "mariadb-server"},
    {Engine::MariaDb, ENGINE_MARIADB_CLIENT, "mariadb-client"},
};

std::unique_ptr<Workspace> g_workspace;
std::map<Engine, std::unique_ptr<EngineServer>> g_servers;

// The servers of one test process: started on first use, stopped when the tests end.
class EnginesEnvironment : public ::testing::Environment {
 public:
  void TearDown() override {
    g_servers.clear();
    g_workspace.reset();
  }
};
[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new EnginesEnvironment);

}  // namespace

const std::vector<EngineDriver>& AllDrivers() {
  static const std::vector<EngineDriver> drivers = {
      {"sqlite", Engine::Sqlite, "SQLite3", false, ENGINE_SQLITE_DRIVER, "libsqliteodbc"},
      {"postgresql_ansi", Engine::PostgreSql, "PostgreSQL ANSI", true,
       ENGINE_POSTGRESQL_ANSI_DRIVER, "odbc-postgresql"},
      {"postgresql_unicode", Engine::PostgreSql, "PostgreSQL Unicode", false,
       ENGINE_POSTGRESQL_UNICODE_DRIVER, "odbc-postgresql"},
      {"mariadb", Engine::MariaDb, "MariaDB", false, ENGINE_MARIADB_DRIVER, "odbc-mariadb"},
  };
  return drivers;
}

std::optional<std::string> MissingPackage(const EngineDriver& driver) {
  if (*driver.library == '\0') return driver.package;
  for (const Requirement& need : kRequirements) {
    if (need.engine == driver.engine && *need.path == '\0') return need.package;
  }
  return std::nullopt;
}

EngineServer& Server(Engine engine) {
  if (!g_workspace) g_workspace = std::make_unique<Workspace>();
  std::unique_ptr<EngineServer>& server = g_servers[engine];
  if (!server) {
    using Start = std::unique_ptr<EngineServer> (*)(Workspace&);
    constexpr Start kStarts[] = {StartSqlite, StartPostgreSql, StartMariaDb};  // by Engine
    server = kStarts[static_cast<int>(engine)](*g_workspace);
  }
  return *server;
}

bool EnginesRequired() {
  const char* value = std::getenv("DRAVON_REQUIRE_ENGINES");
  return value != nullptr && *value != '\0' && std::string(value) != "0";
}

std::string SqlLiteral(const std::optional<std::string>& value) {
  if (!value) return "NULL";
  std::string literal = "'";
  for (const char c : *value) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

testsupport::ChildResult RunClient(const std::vector<std::string>& argv,
                                   const std::string& input) {
  testsupport::ChildOptions options;
  options.argv = argv;
  options.input = input;
  options.mergeErrors = true;
  return testsupport::RunChild(options, std::chrono::seconds(120));
}

void EngineServer::Execute(const std::string& sql) {
  const testsupport::ChildResult result = RunClient(ClientCommand(), sql);
  if (result.exitCode != 0) {
    throw std::runtime_error("the engine's client refused the statements (" + result.How() +
                             "):\n" + result.out);
  }
}

std::vector<std::string> EngineServer::ReadRows(const std::string& select) {
  const testsupport::ChildResult result = RunClient(ClientCommand(), NullAsEmpty(select) + ";\n");
  if (result.exitCode != 0) throw std::runtime_error("the client failed:\n" + result.out);
  std::vector<std::string> rows;
  std::istringstream lines(result.out);
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  return rows;
}

ClientError EngineServer::RefusedStatement(const std::string& sql) {
  const testsupport::ChildResult result = RunClient(ClientCommand(), sql + ";\n");
  if (result.exitCode == 0) throw std::runtime_error("the client accepted: " + sql);
  return ParseClientError(result.out);
}

std::string EngineServer::NullAsEmpty(const std::string& select) const {
  // "SELECT marque FROM ..." becomes "SELECT COALESCE(marque, '') FROM ...".
  const std::string::size_type from = select.find(" FROM ");
  if (select.rfind("SELECT ", 0) != 0 || from == std::string::npos) return select;
  return "SELECT COALESCE(" + select.substr(7, from - 7) + ", '')" + select.substr(from);
}

}  // namespace enginetest
