// Entry points that connect to a database file and disconnect: SQLConnect with a data source
// of odbc.ini, SQLDriverConnect with a connection string (DBQ, or a DSN whose DBQ is read from
// odbc.ini), SQLDisconnect. A file's password comes from the connection string (PWD, or
// Password), SQLConnect's authentication argument, or else the data source's PWD; a file that
// needs one refuses the connection with 28000 when it is missing or wrong.
#include "connect_string.h"
#include "data_source.h"
#include "file_check.h"
#include "handles.h"
#include "text.h"

#include <charconv>
#include <climits>
#include <optional>

namespace mdbodbc {
namespace {

// The settings of data source `name`, or the failure that says why it names no file.
SQLRETURN FindDataSource(Connection& dbc, const std::string& name, DataSource& source) {
  std::string problem;
  source = ReadDataSource(name, problem);
  if (!problem.empty()) return Fail(dbc, "08001", "data source \"" + name + "\": " + problem);
  if (source.file.empty()) {
    return Fail(dbc, "08001", "no database file named: the data source \"" + name + "\" has no DBQ in odbc.ini");
  }
  return SQL_SUCCESS;
}

// A DSN value that names a data source (the program passes DSN='' for none).
bool NamesDataSource(const std::string* dsn) {
  return dsn != nullptr && !dsn->empty() && *dsn != "''" && *dsn != "\"\"";
}

constexpr char kTempLimitKey[] = "MaxTempMB";
constexpr unsigned long kLargestTempLimitMB = 1u << 20;

// The connection's limits: from the connect string, else from its data source, else the
// defaults. False with the failure reported when a value is not a limit.
bool ReadLimits(Connection& dbc, const ConnectAttributes& attributes, const std::string& dataSource,
                sql::EngineLimits& limits) {
  std::string text;
  if (const std::string* given = FindAttribute(attributes, kTempLimitKey)) {
    text = *given;
  } else if (!dataSource.empty()) {
    std::string problem;
    text = DataSourceValue(dataSource, kTempLimitKey, problem);
  }
  if (text.empty()) return true;
  unsigned long megabytes = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), megabytes);
  if (ec != std::errc() || end != text.data() + text.size() || megabytes == 0 || megabytes > kLargestTempLimitMB) {
    Fail(dbc, "08001", std::string(kTempLimitKey) + "=" + text + " is not a size in megabytes from 1 to " +
                           std::to_string(kLargestTempLimitMB));
    return false;
  }
  limits.maxTempBytes = static_cast<std::size_t>(megabytes) << 20;
  return true;
}

SQLRETURN OpenFile(Connection& dbc, const std::string& path, const std::string& dataSource,
                   const ConnectAttributes& attributes, const std::optional<std::string>& password) {
  if (dbc.engine) return Fail(dbc, "08002", "connection name in use");
  sql::EngineLimits limits;
  if (!ReadLimits(dbc, attributes, dataSource, limits)) return SQL_ERROR;
  FileCheck check = CheckDatabaseFile(path);
  if (check.problem) return Fail(dbc, "08001", "cannot open database file \"" + path + "\": " + *check.problem);
  std::string reason;
  jet::OpenFailure failure = jet::OpenFailure::None;
  std::unique_ptr<jet::Database> database =
      jet::Database::OpenDescriptor(check.file.Release(), path, {password}, reason, &failure);
  if (!database) {
    // The reader's messages name neither the password given nor the file's own.
    const bool refused = failure == jet::OpenFailure::PasswordNeeded || failure == jet::OpenFailure::PasswordWrong;
    return Fail(dbc, refused ? "28000" : "08001", "cannot open database file \"" + path + "\": " + reason);
  }
  std::shared_ptr<const jet::Database> shared(std::move(database));
  std::unique_ptr<sql::Engine> engine = sql::Engine::Open(shared, limits, reason);
  if (!engine) return Fail(dbc, "08001", "cannot open database file \"" + path + "\": " + reason);
  dbc.database = std::move(shared);
  dbc.engine = std::move(engine);
  dbc.path = path;
  dbc.dataSource = dataSource;
  return SQL_SUCCESS;
}

// Connects from a connection string. DBQ names the file (a relative path is taken from the
// working directory); without one, the DBQ of the data source DSN names it. There is no
// dialog, so every completion mode connects with what the string holds: a file whose password
// is not there fails with 28000 rather than asking for it. The completed string names the
// driver and the file, never the password.
SQLRETURN Connect(Connection& dbc, const std::string& input, std::string& completed) {
  if (dbc.engine) return Fail(dbc, "08002", "connection name in use");
  ConnectAttributes attributes = ParseConnectString(input);
  const std::string* dbq = FindAttribute(attributes, "DBQ");
  const std::string* dsn = FindAttribute(attributes, "DSN");
  const std::string* pwd = FindAttribute(attributes, "PWD");
  if (pwd == nullptr) pwd = FindAttribute(attributes, "Password");
  std::string path = dbq != nullptr ? *dbq : std::string();
  std::optional<std::string> password;
  if (pwd != nullptr) password = *pwd;
  if (path.empty() && NamesDataSource(dsn)) {
    DataSource source;
    SQLRETURN rc = FindDataSource(dbc, *dsn, source);
    if (rc != SQL_SUCCESS) return rc;
    path = source.file;
    if (!password) password = source.password;
  }
  if (path.empty()) return Fail(dbc, "08001", "no database file named: the connection string has no DBQ");
  SQLRETURN rc = OpenFile(dbc, path, NamesDataSource(dsn) ? *dsn : std::string(), attributes, password);
  if (rc != SQL_SUCCESS) return rc;
  const std::string* driver = FindAttribute(attributes, "DRIVER");
  completed.clear();
  // The driver manager hands the driver name on without its braces; they go back on.
  if (driver != nullptr) {
    completed = "DRIVER={" + *driver + "};";
  } else if (NamesDataSource(dsn)) {
    completed = FormatAttribute("DSN", *dsn) + ";";
  }
  completed += FormatAttribute("DBQ", path);
  return SQL_SUCCESS;
}

// SQLConnect: a password given as its authentication argument wins over the data source's.
SQLRETURN ConnectDataSource(Connection& dbc, const std::string& dataSource, const std::string& given) {
  if (dataSource.empty()) return Fail(dbc, "IM002", "data source name not found: none was given");
  DataSource source;
  SQLRETURN rc = FindDataSource(dbc, dataSource, source);
  if (rc != SQL_SUCCESS) return rc;
  return OpenFile(dbc, source.file, dataSource, {}, given.empty() ? source.password : given);
}

template <typename Write>
SQLRETURN Complete(Connection& dbc, const std::string& completed, SQLSMALLINT* outLength, bool haveBuffer, Write write) {
  SQLLEN length = 0;
  bool whole = write(completed, &length);
  if (outLength != nullptr) *outLength = static_cast<SQLSMALLINT>(std::min<SQLLEN>(length, SHRT_MAX));
  if (!whole && haveBuffer) return Warn(dbc, "01004", "string data, right truncated");
  return SQLRETURN(SQL_SUCCESS);
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLConnect(SQLHDBC handle, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR*, SQLSMALLINT,
                                            SQLCHAR* password, SQLSMALLINT passwordLength) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    return ConnectDataSource(dbc, NarrowInput(dsn, dsnLength), NarrowInput(password, passwordLength));
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLConnectW(SQLHDBC handle, SQLWCHAR* dsn, SQLSMALLINT dsnLength, SQLWCHAR*,
                                             SQLSMALLINT, SQLWCHAR* password, SQLSMALLINT passwordLength) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    return ConnectDataSource(dbc, WideInput(dsn, dsnLength), WideInput(password, passwordLength));
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLDriverConnect(SQLHDBC handle, SQLHWND, SQLCHAR* in, SQLSMALLINT inLength,
                                                  SQLCHAR* out, SQLSMALLINT outMax, SQLSMALLINT* outLength,
                                                  SQLUSMALLINT) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    std::string completed;
    SQLRETURN rc = Connect(dbc, NarrowInput(in, inLength), completed);
    if (rc != SQL_SUCCESS) return rc;
    return Complete(dbc, completed, outLength, out != nullptr,
                    [&](const std::string& text, SQLLEN* length) { return WriteNarrow(text, out, outMax, length); });
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC handle, SQLHWND, SQLWCHAR* in, SQLSMALLINT inLength,
                                                   SQLWCHAR* out, SQLSMALLINT outMax, SQLSMALLINT* outLength,
                                                   SQLUSMALLINT) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    std::string completed;
    SQLRETURN rc = Connect(dbc, WideInput(in, inLength), completed);
    if (rc != SQL_SUCCESS) return rc;
    return Complete(dbc, completed, outLength, out != nullptr, [&](const std::string& text, SQLLEN* length) {
      return WriteWide(text, out, outMax, length, false);
    });
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    if (!dbc.engine) return Fail(dbc, "08003", "connection not open");
    while (!dbc.statements.empty()) FreeStatement(dbc.statements.front());
    dbc.engine.reset();
    dbc.database.reset();
    dbc.path.clear();
    dbc.dataSource.clear();
    return SQLRETURN(SQL_SUCCESS);
  });
}
