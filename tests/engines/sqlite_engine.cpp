// SQLite: no server, a database file in the workspace. The driver takes the file as
// Database= (it ignores DBQ=).
#include "tests/engines/engines.h"
#include "tests/engines/workspace.h"

namespace enginetest {

namespace {

class SqliteEngine : public EngineServer {
 public:
  explicit SqliteEngine(Workspace& workspace)
      : m_file(workspace.Folder() + "/hangar.sqlite"),
        m_missingFile(workspace.Folder() + "/missing/hangar.sqlite") {
    // The client makes the file, as the layer's driver would not.
    Execute("CREATE TABLE hangar_created (id INTEGER);\n");
  }

  std::string ConnectString(const EngineDriver& driver, bool stopped) const override {
    return std::string("DRIVER={") + driver.section + "};Database=" +
           (stopped ? m_missingFile : m_file);
  }
  ClientError StoppedClientError() override {
    return ParseClientError(
        RunClient({ENGINE_SQLITE_CLIENT, "-batch", "-bail", m_missingFile}, "SELECT 1;\n").out);
  }

  // The driver reports "connect failed" without SQLite's reason.
  bool DriverReportsConnectReason() const override { return false; }

  std::string LongTextType() const override { return "text"; }

 protected:
  std::vector<std::string> ClientCommand() const override {
    return {ENGINE_SQLITE_CLIENT, "-batch", "-bail", "-list", "-noheader", m_file};
  }

  // "Error: near line 1: no such table: nope" or "Parse error near line 1: ..." and the
  // like: the message follows the client's own "...: " prefixes. SQLite has no SQLSTATE.
  ClientError ParseClientError(const std::string& output) const override {
    std::string line = output.substr(0, output.find('\n'));
    for (const char* prefix : {"line 1: ", "Error: "}) {
      const std::string::size_type at = line.find(prefix);
      if (at != std::string::npos) line = line.substr(at + std::string(prefix).size());
    }
    return {"", line};
  }

 private:
  std::string m_file;
  std::string m_missingFile;  // in a folder that does not exist: the engine cannot open it
};

}  // namespace

std::unique_ptr<EngineServer> StartSqlite(Workspace& workspace) {
  return std::make_unique<SqliteEngine>(workspace);
}

}  // namespace enginetest
