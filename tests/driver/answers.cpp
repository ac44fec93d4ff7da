#include "answers.h"

#include <sql.h>
#include <sqlext.h>

#include <map>
#include <optional>

namespace drivertest {

std::string SqlTypeName(SQLSMALLINT type) {
  static const std::map<SQLSMALLINT, const char*> kNames = {
      {SQL_BIT, "BIT"}, {SQL_TINYINT, "TINYINT"}, {SQL_SMALLINT, "SMALLINT"}, {SQL_REAL, "REAL"},
      {SQL_INTEGER, "INTEGER"}, {SQL_BIGINT, "BIGINT"}, {SQL_DOUBLE, "DOUBLE"},
      {SQL_NUMERIC, "NUMERIC"}, {SQL_DECIMAL, "DECIMAL"}, {SQL_TYPE_TIMESTAMP, "TIMESTAMP"},
      {SQL_TIMESTAMP, "TIMESTAMP"}, {SQL_WVARCHAR, "WVARCHAR"}, {SQL_WLONGVARCHAR, "WLONGVARCHAR"},
      {SQL_VARBINARY, "VARBINARY"}, {SQL_LONGVARBINARY, "LONGVARBINARY"}, {SQL_GUID, "GUID"}};
  const auto found = kNames.find(type);
  return found != kNames.end() ? found->second : std::to_string(type);
}

std::string Answer::Shown() const {
  if (state.empty()) return rows;
  return (rows.empty() ? "" : rows + ";") + "error " + state;
}

std::string Answer::Typed() const { return (types.empty() ? "" : types + ": ") + Shown(); }

namespace {

void Fail(OdbcSession& session, SQLHSTMT stmt, Answer& answer) {
  std::vector<Diag> errors = session.Errors(stmt);
  answer.state = errors.empty() ? "?" : errors[0].state;
  answer.message = errors.empty() ? "" : errors[0].message;
}

}  // namespace

Answer Ask(OdbcSession& session, const std::string& text) {
  SQLHSTMT stmt = session.AllocStmt();
  SQLRETURN rc;
  if (session.wide()) {
    std::u16string w = Wide(text);
    rc = SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(w.data()), static_cast<SQLINTEGER>(w.size()));
  } else {
    std::string n = text;
    rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(n.data()), static_cast<SQLINTEGER>(n.size()));
  }
  Answer answer;
  if (!SQL_SUCCEEDED(rc)) {
    Fail(session, stmt, answer);
    SQLFreeStmt(stmt, SQL_DROP);
    return answer;
  }
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  for (SQLUSMALLINT c = 1; c <= columns; ++c) {
    std::optional<OdbcSession::Column> described = session.Describe(stmt, c);
    answer.sqlTypes.push_back(described ? described->type : 0);
    answer.types += (c > 1 ? "|" : "") + (described ? SqlTypeName(described->type) : std::string("?"));
  }
  ReadRows(session, stmt, answer);
  SQLFreeStmt(stmt, SQL_DROP);
  return answer;
}

void ReadRows(OdbcSession& session, SQLHSTMT stmt, Answer& answer) {
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) == SQL_SUCCESS) {
    if (!answer.rows.empty()) answer.rows += ";";
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      answer.rows += (c > 1 ? "|" : "") + ReadText(stmt, c, session.wide()).value_or("NULL");
    }
  }
  if (rc != SQL_NO_DATA) Fail(session, stmt, answer);
}

}  // namespace drivertest
