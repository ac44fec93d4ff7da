// Entry points that connect to a database file and disconnect.
#include "connect_string.h"
#include "handles.h"
#include "text.h"

#include <climits>
#include <cstdlib>

namespace mdbodbc {
namespace {

// Connects from a connection string. DBQ names the file (a relative path is taken from the
// working directory); DRIVER and DSN are accepted and otherwise ignored. There is no dialog,
// so every completion mode connects with what the string holds.
SQLRETURN Connect(Connection& dbc, const std::string& input, std::string& completed) {
  if (dbc.database) return Fail(dbc, "08002", "connection name in use");
  ConnectAttributes attributes = ParseConnectString(input);
  const std::string* dbq = FindAttribute(attributes, "DBQ");
  if (dbq == nullptr || dbq->empty()) {
    return Fail(dbc, "08001", "no database file named: the connection string has no DBQ");
  }
  std::string reason;
  std::unique_ptr<Database> database = Database::Open(*dbq, reason);
  if (!database) {
    return Fail(dbc, "08001", "cannot open database file \"" + *dbq + "\": " + reason);
  }
  dbc.database = std::move(database);
  dbc.path = *dbq;
  const std::string* driver = FindAttribute(attributes, "DRIVER");
  completed.clear();
  // The driver manager hands the driver name on without its braces; they go back on.
  if (driver != nullptr) completed = "DRIVER={" + *driver + "};";
  completed += FormatAttribute("DBQ", *dbq);
  return SQL_SUCCESS;
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLDriverConnect(SQLHDBC handle, SQLHWND, SQLCHAR* in,
                                                  SQLSMALLINT inLength, SQLCHAR* out,
                                                  SQLSMALLINT outMax, SQLSMALLINT* outLength,
                                                  SQLUSMALLINT) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    std::string completed;
    SQLRETURN rc = Connect(dbc, NarrowInput(in, inLength), completed);
    if (rc != SQL_SUCCESS) return rc;
    SQLLEN length = 0;
    bool whole = WriteNarrow(completed, out, outMax, &length);
    if (outLength != nullptr) *outLength = static_cast<SQLSMALLINT>(std::min<SQLLEN>(length, SHRT_MAX));
    if (!whole && out != nullptr) return Warn(dbc, "01004", "string data, right truncated");
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC handle, SQLHWND, SQLWCHAR* in,
                                                   SQLSMALLINT inLength, SQLWCHAR* out,
                                                   SQLSMALLINT outMax, SQLSMALLINT* outLength,
                                                   SQLUSMALLINT) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    std::string completed;
    SQLRETURN rc = Connect(dbc, WideInput(in, inLength), completed);
    if (rc != SQL_SUCCESS) return rc;
    SQLLEN length = 0;
    bool whole = WriteWide(completed, out, outMax, &length, false);
    if (outLength != nullptr) *outLength = static_cast<SQLSMALLINT>(std::min<SQLLEN>(length, SHRT_MAX));
    if (!whole && out != nullptr) return Warn(dbc, "01004", "string data, right truncated");
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLDisconnect(SQLHDBC handle) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    if (!dbc.database) return Fail(dbc, "08003", "connection not open");
    while (!dbc.statements.empty()) FreeStatement(dbc.statements.front());
    dbc.database.reset();
    dbc.path.clear();
    return SQLRETURN(SQL_SUCCESS);
  });
}
