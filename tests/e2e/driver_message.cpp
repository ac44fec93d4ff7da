#include "driver_message.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace e2e {

namespace {

namespace fs = std::filesystem;

// Makes a directory the process's working directory while alive.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path) : previous_(fs::current_path()) {
    fs::current_path(path);
  }
  ~WorkingDirectory() {
    std::error_code ignored;
    fs::current_path(previous_, ignored);
  }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  fs::path previous_;
};

// The handles of one connection attempt, freed in reverse order.
class Connection {
 public:
  Connection() {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
      throw std::runtime_error("no ODBC environment");
    }
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
      SQLFreeHandle(SQL_HANDLE_ENV, env_);
      throw std::runtime_error("no ODBC connection handle");
    }
  }
  ~Connection() {
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool Connect(const std::string& connectString) {
    std::string text = connectString;
    SQLCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(text.data()),
                                          SQL_NTS, out, sizeof out, &outLength,
                                          SQL_DRIVER_NOPROMPT);
    connected_ = SQL_SUCCEEDED(rc);
    return connected_;
  }

  std::string FirstMessage() const {
    SQLCHAR state[6] = {};
    SQLINTEGER native = 0;
    SQLCHAR message[1024] = {};
    SQLSMALLINT length = 0;
    const SQLRETURN rc = SQLGetDiagRec(SQL_HANDLE_DBC, dbc_, 1, state, &native, message,
                                       sizeof message, &length);
    if (!SQL_SUCCEEDED(rc)) return {};
    return reinterpret_cast<const char*>(message);
  }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

std::string WithoutOrigins(std::string message) {
  while (!message.empty() && message.front() == '[') {
    const size_t close = message.find(']');
    if (close == std::string::npos) break;
    message.erase(0, close + 1);
  }
  return message;
}

}  // namespace

std::string DriverConnectMessage(const std::string& workingDirectory) {
  ::setenv("ODBCSYSINI", ODBC_SYSINI_DIR, 1);
  WorkingDirectory here(workingDirectory);
  Connection connection;
  if (connection.Connect(kProgramConnectString)) return {};
  return WithoutOrigins(connection.FirstMessage());
}

}  // namespace e2e
