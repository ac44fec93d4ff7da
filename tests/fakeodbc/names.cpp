// Symbolic names of ODBC constants, for the call log and for the script reader.
#include "text.h"

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>

namespace fakeodbc::detail {
namespace {

struct Named {
  std::string name;
  long long value;
};

// Pairs the names of a list of constants, spelled as the preprocessor saw them and joined by
// commas, with their values in the same order.
std::vector<Named> named(std::string_view names, std::initializer_list<long long> values) {
  std::vector<Named> table;
  for (const long long value : values) {
    const std::size_t comma = std::min(names.find(','), names.size());
    table.push_back({std::string(names.substr(0, comma)), value});
    names.remove_prefix(std::min(names.find_first_not_of(", ", comma), names.size()));
  }
  return table;
}

#define FAKEODBC_NAMED(...) named(#__VA_ARGS__, {__VA_ARGS__})

constexpr std::size_t scriptConstants = static_cast<std::size_t>(NameSet::DriverCompletion) + 1;

// The tables in the order of NameSet, then the constants only scripts use.
const std::vector<Named>& table(std::size_t which) {
  static const std::vector<Named> tables[] = {
      // NameSet::ReturnCode
      FAKEODBC_NAMED(SQL_SUCCESS, SQL_SUCCESS_WITH_INFO, SQL_ERROR, SQL_INVALID_HANDLE, SQL_NO_DATA,
                     SQL_NEED_DATA, SQL_STILL_EXECUTING),
      // NameSet::InfoType
      FAKEODBC_NAMED(
          SQL_ACTIVE_CONNECTIONS, SQL_ACTIVE_STATEMENTS, SQL_DATA_SOURCE_NAME, SQL_DRIVER_NAME,
          SQL_DRIVER_VER, SQL_FETCH_DIRECTION, SQL_ODBC_API_CONFORMANCE, SQL_ODBC_VER,
          SQL_ROW_UPDATES, SQL_ODBC_SAG_CLI_CONFORMANCE, SQL_SERVER_NAME, SQL_SEARCH_PATTERN_ESCAPE,
          SQL_ODBC_SQL_CONFORMANCE, SQL_DATABASE_NAME, SQL_DBMS_NAME, SQL_DBMS_VER,
          SQL_ACCESSIBLE_TABLES, SQL_ACCESSIBLE_PROCEDURES, SQL_PROCEDURES,
          SQL_CONCAT_NULL_BEHAVIOR, SQL_CURSOR_COMMIT_BEHAVIOR, SQL_CURSOR_ROLLBACK_BEHAVIOR,
          SQL_DATA_SOURCE_READ_ONLY, SQL_DEFAULT_TXN_ISOLATION, SQL_EXPRESSIONS_IN_ORDERBY,
          SQL_IDENTIFIER_CASE, SQL_IDENTIFIER_QUOTE_CHAR, SQL_MAX_COLUMN_NAME_LEN,
          SQL_MULT_RESULT_SETS, SQL_MULTIPLE_ACTIVE_TXN, SQL_SCROLL_CONCURRENCY, SQL_SCROLL_OPTIONS,
          SQL_TABLE_TERM, SQL_TXN_CAPABLE, SQL_USER_NAME, SQL_CONVERT_FUNCTIONS,
          SQL_TXN_ISOLATION_OPTION, SQL_LOCK_TYPES, SQL_POS_OPERATIONS, SQL_POSITIONED_STATEMENTS,
          SQL_GETDATA_EXTENSIONS, SQL_BOOKMARK_PERSISTENCE, SQL_STATIC_SENSITIVITY,
          SQL_NULL_COLLATION, SQL_DRIVER_ODBC_VER, SQL_STATIC_CURSOR_ATTRIBUTES1,
          SQL_STATIC_CURSOR_ATTRIBUTES2, SQL_CURSOR_SENSITIVITY),
      // NameSet::ConnectOption
      FAKEODBC_NAMED(SQL_ACCESS_MODE, SQL_AUTOCOMMIT, SQL_LOGIN_TIMEOUT, SQL_OPT_TRACE,
                     SQL_OPT_TRACEFILE, SQL_TRANSLATE_DLL, SQL_TRANSLATE_OPTION, SQL_TXN_ISOLATION,
                     SQL_CURRENT_QUALIFIER, SQL_ODBC_CURSORS, SQL_QUIET_MODE, SQL_PACKET_SIZE),
      // NameSet::StatementOption
      FAKEODBC_NAMED(SQL_QUERY_TIMEOUT, SQL_MAX_ROWS, SQL_NOSCAN, SQL_MAX_LENGTH, SQL_ASYNC_ENABLE,
                     SQL_BIND_TYPE, SQL_CURSOR_TYPE, SQL_CONCURRENCY, SQL_KEYSET_SIZE,
                     SQL_ROWSET_SIZE, SQL_SIMULATE_CURSOR, SQL_RETRIEVE_DATA, SQL_USE_BOOKMARKS,
                     SQL_GET_BOOKMARK, SQL_ROW_NUMBER),
      // NameSet::ApiFunction
      FAKEODBC_NAMED(
          SQL_API_ALL_FUNCTIONS, SQL_API_ODBC3_ALL_FUNCTIONS, SQL_API_SQLALLOCCONNECT,
          SQL_API_SQLALLOCENV, SQL_API_SQLALLOCSTMT, SQL_API_SQLBINDCOL, SQL_API_SQLCANCEL,
          SQL_API_SQLCOLATTRIBUTES, SQL_API_SQLCONNECT, SQL_API_SQLDESCRIBECOL,
          SQL_API_SQLDISCONNECT, SQL_API_SQLERROR, SQL_API_SQLEXECDIRECT, SQL_API_SQLEXECUTE,
          SQL_API_SQLFETCH, SQL_API_SQLFREECONNECT, SQL_API_SQLFREEENV, SQL_API_SQLFREESTMT,
          SQL_API_SQLGETCURSORNAME, SQL_API_SQLNUMRESULTCOLS, SQL_API_SQLPREPARE,
          SQL_API_SQLROWCOUNT, SQL_API_SQLSETCURSORNAME, SQL_API_SQLSETPARAM, SQL_API_SQLTRANSACT,
          SQL_API_SQLBULKOPERATIONS, SQL_API_SQLCOLUMNS, SQL_API_SQLDRIVERCONNECT,
          SQL_API_SQLGETCONNECTOPTION, SQL_API_SQLGETDATA, SQL_API_SQLGETFUNCTIONS,
          SQL_API_SQLGETINFO, SQL_API_SQLGETSTMTOPTION, SQL_API_SQLGETTYPEINFO,
          SQL_API_SQLPARAMDATA, SQL_API_SQLPUTDATA, SQL_API_SQLSETCONNECTOPTION,
          SQL_API_SQLSETSTMTOPTION, SQL_API_SQLSPECIALCOLUMNS, SQL_API_SQLSTATISTICS,
          SQL_API_SQLTABLES, SQL_API_SQLBROWSECONNECT, SQL_API_SQLCOLUMNPRIVILEGES,
          SQL_API_SQLDATASOURCES, SQL_API_SQLDESCRIBEPARAM, SQL_API_SQLEXTENDEDFETCH,
          SQL_API_SQLFOREIGNKEYS, SQL_API_SQLMORERESULTS, SQL_API_SQLNATIVESQL,
          SQL_API_SQLNUMPARAMS, SQL_API_SQLPARAMOPTIONS, SQL_API_SQLPRIMARYKEYS,
          SQL_API_SQLPROCEDURECOLUMNS, SQL_API_SQLPROCEDURES, SQL_API_SQLSETPOS,
          SQL_API_SQLSETSCROLLOPTIONS, SQL_API_SQLTABLEPRIVILEGES, SQL_API_SQLDRIVERS,
          SQL_API_SQLBINDPARAMETER, SQL_API_SQLALLOCHANDLESTD, SQL_API_SQLALLOCHANDLE,
          SQL_API_SQLBINDPARAM, SQL_API_SQLCLOSECURSOR, SQL_API_SQLCOPYDESC, SQL_API_SQLENDTRAN,
          SQL_API_SQLFREEHANDLE, SQL_API_SQLGETCONNECTATTR, SQL_API_SQLGETDESCFIELD,
          SQL_API_SQLGETDESCREC, SQL_API_SQLGETDIAGFIELD, SQL_API_SQLGETDIAGREC,
          SQL_API_SQLGETENVATTR, SQL_API_SQLGETSTMTATTR, SQL_API_SQLSETCONNECTATTR,
          SQL_API_SQLSETDESCFIELD, SQL_API_SQLSETDESCREC, SQL_API_SQLSETENVATTR,
          SQL_API_SQLSETSTMTATTR, SQL_API_SQLFETCHSCROLL, SQL_API_SQLCANCELHANDLE),
      // NameSet::CType
      FAKEODBC_NAMED(SQL_C_CHAR, SQL_C_WCHAR, SQL_C_LONG, SQL_C_SHORT, SQL_C_FLOAT, SQL_C_DOUBLE,
                     SQL_C_DEFAULT, SQL_C_DATE, SQL_C_TIME, SQL_C_TIMESTAMP, SQL_C_BINARY,
                     SQL_C_BIT, SQL_C_SBIGINT, SQL_C_UBIGINT, SQL_C_TINYINT, SQL_C_SLONG,
                     SQL_C_SSHORT, SQL_C_STINYINT, SQL_C_ULONG, SQL_C_USHORT, SQL_C_UTINYINT,
                     SQL_C_TYPE_DATE, SQL_C_TYPE_TIME, SQL_C_TYPE_TIMESTAMP, SQL_C_GUID),
      // NameSet::FetchOrientation
      FAKEODBC_NAMED(SQL_FETCH_NEXT, SQL_FETCH_FIRST, SQL_FETCH_LAST, SQL_FETCH_PRIOR,
                     SQL_FETCH_ABSOLUTE, SQL_FETCH_RELATIVE, SQL_FETCH_BOOKMARK),
      // NameSet::FreeStatementOption
      FAKEODBC_NAMED(SQL_CLOSE, SQL_DROP, SQL_UNBIND, SQL_RESET_PARAMS),
      // NameSet::DriverCompletion
      FAKEODBC_NAMED(SQL_DRIVER_NOPROMPT, SQL_DRIVER_COMPLETE, SQL_DRIVER_PROMPT,
                     SQL_DRIVER_COMPLETE_REQUIRED),
      // SQL types and values scripts may write by name; never used to name a logged value.
      FAKEODBC_NAMED(SQL_CHAR, SQL_VARCHAR, SQL_LONGVARCHAR, SQL_WCHAR, SQL_WVARCHAR,
                     SQL_WLONGVARCHAR, SQL_DECIMAL, SQL_NUMERIC, SQL_SMALLINT, SQL_INTEGER,
                     SQL_REAL, SQL_FLOAT, SQL_DOUBLE, SQL_BIT, SQL_TINYINT, SQL_BIGINT, SQL_BINARY,
                     SQL_VARBINARY, SQL_LONGVARBINARY, SQL_DATE, SQL_TIME, SQL_TIMESTAMP,
                     SQL_TYPE_DATE, SQL_TYPE_TIME, SQL_TYPE_TIMESTAMP, SQL_GUID, SQL_NO_DATA_FOUND,
                     SQL_NULL_DATA, SQL_NO_TOTAL, SQL_NTS, SQL_TRUE, SQL_FALSE, SQL_NO_NULLS,
                     SQL_NULLABLE, SQL_NULLABLE_UNKNOWN, SQL_ROW_SUCCESS, SQL_ROW_DELETED,
                     SQL_ROW_UPDATED, SQL_ROW_NOROW, SQL_ROW_ADDED, SQL_ROW_ERROR,
                     SQL_ROW_SUCCESS_WITH_INFO, SQL_OAC_NONE, SQL_OAC_LEVEL1, SQL_OAC_LEVEL2,
                     SQL_OSC_MINIMUM, SQL_OSC_CORE, SQL_OSC_EXTENDED, SQL_TC_NONE, SQL_TC_DML,
                     SQL_TC_ALL, SQL_CB_DELETE, SQL_CB_CLOSE, SQL_CB_PRESERVE, SQL_SO_FORWARD_ONLY,
                     SQL_SO_KEYSET_DRIVEN, SQL_SO_DYNAMIC, SQL_SO_MIXED, SQL_SO_STATIC,
                     SQL_SCCO_READ_ONLY, SQL_SCCO_LOCK, SQL_SCCO_OPT_ROWVER, SQL_SCCO_OPT_VALUES,
                     SQL_CONCUR_READ_ONLY, SQL_CONCUR_LOCK, SQL_CONCUR_ROWVER, SQL_CONCUR_VALUES,
                     SQL_CURSOR_FORWARD_ONLY, SQL_CURSOR_KEYSET_DRIVEN, SQL_CURSOR_DYNAMIC,
                     SQL_CURSOR_STATIC, SQL_CUR_USE_IF_NEEDED, SQL_CUR_USE_ODBC, SQL_CUR_USE_DRIVER,
                     SQL_MODE_READ_WRITE, SQL_MODE_READ_ONLY, SQL_GD_ANY_COLUMN, SQL_GD_ANY_ORDER,
                     SQL_GD_BLOCK, SQL_GD_BOUND, SQL_BP_SCROLL, SQL_LCK_NO_CHANGE,
                     SQL_LCK_EXCLUSIVE, SQL_LCK_UNLOCK, SQL_POS_POSITION, SQL_POS_REFRESH,
                     SQL_POS_UPDATE, SQL_POS_DELETE, SQL_POS_ADD, SQL_PS_POSITIONED_DELETE,
                     SQL_PS_POSITIONED_UPDATE, SQL_PS_SELECT_FOR_UPDATE),
  };
  static_assert(std::size(tables) == scriptConstants + 1);
  return tables[which];
}

#undef FAKEODBC_NAMED

const std::vector<Named>& table(NameSet set) { return table(static_cast<std::size_t>(set)); }

}  // namespace

std::string lengthName(long long length) {
  return length == SQL_NTS ? "SQL_NTS" : std::to_string(length);
}

std::string nameOf(NameSet set, long long value) {
  for (const Named& entry : table(set)) {
    if (entry.value == value) return entry.name;
  }
  return std::to_string(value);
}

std::optional<long long> valueOfName(std::string_view name) {
  for (std::size_t which = 0; which <= scriptConstants; ++which) {
    for (const Named& entry : table(which)) {
      if (name == entry.name) return entry.value;
    }
  }
  return std::nullopt;
}

std::vector<unsigned short> knownApiFunctions() {
  std::vector<unsigned short> ids;
  for (const Named& entry : table(NameSet::ApiFunction)) {
    if (entry.value != SQL_API_ALL_FUNCTIONS && entry.value != SQL_API_ODBC3_ALL_FUNCTIONS) {
      ids.push_back(static_cast<unsigned short>(entry.value));
    }
  }
  return ids;
}

}  // namespace fakeodbc::detail
