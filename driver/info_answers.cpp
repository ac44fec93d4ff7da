#include "info_answers.h"

#include "handles.h"

namespace mdbodbc {
namespace {

InfoAnswer Text(std::string text) {
  InfoAnswer a;
  a.kind = InfoAnswer::Kind::Text;
  a.text = std::move(text);
  return a;
}

InfoAnswer Short(SQLUSMALLINT value) {
  InfoAnswer a;
  a.kind = InfoAnswer::Kind::Short;
  a.number = value;
  return a;
}

// ODBC 3.5's bit for a GUID, which the driver manager's headers may lack.
#ifndef SQL_CVT_GUID
#define SQL_CVT_GUID 0x01000000L
#endif

// The targets of {fn CONVERT}: the texts, the numbers and dates, the binaries, the GUID.
constexpr SQLUINTEGER kConvertToText =
    SQL_CVT_CHAR | SQL_CVT_VARCHAR | SQL_CVT_LONGVARCHAR | SQL_CVT_WCHAR | SQL_CVT_WVARCHAR | SQL_CVT_WLONGVARCHAR;
constexpr SQLUINTEGER kConvertToValues = kConvertToText | SQL_CVT_BIGINT | SQL_CVT_BIT | SQL_CVT_DECIMAL |
                                         SQL_CVT_DOUBLE | SQL_CVT_FLOAT | SQL_CVT_INTEGER | SQL_CVT_NUMERIC |
                                         SQL_CVT_REAL | SQL_CVT_SMALLINT | SQL_CVT_TINYINT | SQL_CVT_DATE |
                                         SQL_CVT_TIME | SQL_CVT_TIMESTAMP;
constexpr SQLUINTEGER kConvertToBinary = SQL_CVT_BINARY | SQL_CVT_VARBINARY | SQL_CVT_LONGVARBINARY;
constexpr SQLUINTEGER kConvertToGuid = SQL_CVT_GUID;

InfoAnswer Integer(SQLUINTEGER value) {
  InfoAnswer a;
  a.kind = InfoAnswer::Kind::Integer;
  a.number = value;
  return a;
}

constexpr SQLUSMALLINT kFunctions[] = {
    SQL_API_SQLALLOCHANDLE,    SQL_API_SQLFREEHANDLE,     SQL_API_SQLFREESTMT,
    SQL_API_SQLSETENVATTR,     SQL_API_SQLGETENVATTR,     SQL_API_SQLCONNECT,
    SQL_API_SQLDRIVERCONNECT,  SQL_API_SQLDISCONNECT,     SQL_API_SQLGETINFO,
    SQL_API_SQLGETFUNCTIONS,   SQL_API_SQLSETCONNECTATTR, SQL_API_SQLGETCONNECTATTR,
    SQL_API_SQLSETSTMTATTR,    SQL_API_SQLGETSTMTATTR,    SQL_API_SQLPREPARE,
    SQL_API_SQLEXECUTE,        SQL_API_SQLEXECDIRECT,     SQL_API_SQLNUMRESULTCOLS,
    SQL_API_SQLDESCRIBECOL,    SQL_API_SQLCOLATTRIBUTE,   SQL_API_SQLROWCOUNT,
    SQL_API_SQLBINDCOL,        SQL_API_SQLFETCH,          SQL_API_SQLFETCHSCROLL,
    SQL_API_SQLEXTENDEDFETCH,  SQL_API_SQLGETDATA,        SQL_API_SQLCLOSECURSOR,
    SQL_API_SQLCANCEL,         SQL_API_SQLMORERESULTS,    SQL_API_SQLNUMPARAMS,
    SQL_API_SQLDESCRIBEPARAM,  SQL_API_SQLBINDPARAMETER,  SQL_API_SQLNATIVESQL,
    SQL_API_SQLENDTRAN,        SQL_API_SQLGETDIAGREC,     SQL_API_SQLGETDIAGFIELD,
    SQL_API_SQLERROR,          SQL_API_SQLTABLES,         SQL_API_SQLCOLUMNS,
    SQL_API_SQLSTATISTICS,     SQL_API_SQLPRIMARYKEYS,    SQL_API_SQLSPECIALCOLUMNS,
    SQL_API_SQLGETTYPEINFO,    SQL_API_SQLGETDESCFIELD,   SQL_API_SQLSETDESCFIELD,
    SQL_API_SQLPROCEDURES,     SQL_API_SQLFOREIGNKEYS,
    SQL_API_SQLPARAMDATA,      SQL_API_SQLPUTDATA,
};

}  // namespace

bool ImplementsFunction(SQLUSMALLINT function) {
  for (SQLUSMALLINT f : kFunctions) {
    if (f == function) return true;
  }
  return false;
}

std::span<const SQLUSMALLINT> ImplementedFunctions() { return kFunctions; }

std::optional<InfoAnswer> AnswerInfo(const Connection& connection, SQLUSMALLINT infoType) {
  switch (infoType) {
    // Conformance: a level 1 API over the minimum SQL grammar, and read-only.
    case SQL_ODBC_API_CONFORMANCE: return Short(SQL_OAC_LEVEL1);
    case SQL_ODBC_SQL_CONFORMANCE: return Short(SQL_OSC_MINIMUM);
    case SQL_ODBC_INTERFACE_CONFORMANCE: return Integer(SQL_OIC_CORE);
    case SQL_SQL_CONFORMANCE: return Integer(SQL_SC_SQL92_ENTRY);
    case SQL_DATA_SOURCE_READ_ONLY: return Text("Y");
    case SQL_DRIVER_ODBC_VER: return Text("03.00");
    case SQL_ODBC_VER: return Text("03.00");
    case SQL_DRIVER_NAME: return Text("libmdbodbc.so");
    case SQL_DRIVER_VER: return Text(DRAVON_DRIVER_VER);  // the build defines it from the project's version
    case SQL_DBMS_NAME: return Text("ACCESS");
    case SQL_DBMS_VER:
      if (!connection.database) return Text("");
      switch (connection.database->FileVersion()) {
        case jet::Version::Jet3: return Text("03.00.0000");
        case jet::Version::Jet4: return Text("04.00.0000");
        case jet::Version::Ace: return Text("12.00.0000");
      }
      return Text("");
    case SQL_DATA_SOURCE_NAME: return Text(connection.dataSource);
    case SQL_SERVER_NAME: return Text("");
    case SQL_DATABASE_NAME: return Text(connection.path);
    case SQL_USER_NAME: return Text("Admin");  // Access's user of a file without a workgroup, as {fn USER()}

    // Cursors: forward-only and static, read-only, scrolling in every direction.
    case SQL_SCROLL_OPTIONS: return Integer(SQL_SO_FORWARD_ONLY | SQL_SO_STATIC);
    case SQL_SCROLL_CONCURRENCY: return Integer(SQL_SCCO_READ_ONLY);
    case SQL_FETCH_DIRECTION:
      return Integer(SQL_FD_FETCH_NEXT | SQL_FD_FETCH_FIRST | SQL_FD_FETCH_LAST |
                     SQL_FD_FETCH_PRIOR | SQL_FD_FETCH_ABSOLUTE | SQL_FD_FETCH_RELATIVE);
    case SQL_STATIC_CURSOR_ATTRIBUTES1:
      return Integer(SQL_CA1_NEXT | SQL_CA1_ABSOLUTE | SQL_CA1_RELATIVE);
    case SQL_STATIC_CURSOR_ATTRIBUTES2: return Integer(SQL_CA2_READ_ONLY_CONCURRENCY);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1: return Integer(SQL_CA1_NEXT);
    case SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2: return Integer(SQL_CA2_READ_ONLY_CONCURRENCY);
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES1:
    case SQL_DYNAMIC_CURSOR_ATTRIBUTES2:
    case SQL_KEYSET_CURSOR_ATTRIBUTES1:
    case SQL_KEYSET_CURSOR_ATTRIBUTES2: return Integer(0);
    case SQL_CURSOR_SENSITIVITY: return Integer(SQL_INSENSITIVE);
    case SQL_STATIC_SENSITIVITY: return Integer(0);
    case SQL_LOCK_TYPES: return Integer(0);
    case SQL_POS_OPERATIONS: return Integer(0);
    case SQL_POSITIONED_STATEMENTS: return Integer(0);
    case SQL_BOOKMARK_PERSISTENCE: return Integer(0);
    case SQL_GETDATA_EXTENSIONS: return Integer(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER);
    case SQL_ROW_UPDATES: return Text("N");
    case SQL_MAX_CONCURRENT_ACTIVITIES: return Short(0);
    case SQL_MAX_DRIVER_CONNECTIONS: return Short(0);
    case SQL_ASYNC_MODE: return Integer(SQL_AM_NONE);
    case SQL_MAX_ASYNC_CONCURRENT_STATEMENTS: return Integer(0);
    case SQL_ASYNC_DBC_FUNCTIONS: return Integer(SQL_ASYNC_DBC_NOT_CAPABLE);
    case SQL_BATCH_SUPPORT:
    case SQL_BATCH_ROW_COUNT:
    case SQL_PARAM_ARRAY_ROW_COUNTS:
    case SQL_PARAM_ARRAY_SELECTS: return Integer(0);

    // Transactions: none; a read-only file keeps its cursors open.
    case SQL_TXN_CAPABLE: return Short(SQL_TC_NONE);
    case SQL_CURSOR_COMMIT_BEHAVIOR: return Short(SQL_CB_PRESERVE);
    case SQL_CURSOR_ROLLBACK_BEHAVIOR: return Short(SQL_CB_PRESERVE);
    case SQL_DEFAULT_TXN_ISOLATION: return Integer(0);
    case SQL_TXN_ISOLATION_OPTION: return Integer(0);
    case SQL_MULTIPLE_ACTIVE_TXN: return Text("N");

    // Names and the SQL that the engine reads.
    // Access SQL reads "..." as text: names are quoted with ` (or [ ]).
    case SQL_IDENTIFIER_QUOTE_CHAR: return Text("`");
    case SQL_IDENTIFIER_CASE: return Short(SQL_IC_MIXED);
    case SQL_QUOTED_IDENTIFIER_CASE: return Short(SQL_IC_MIXED);
    case SQL_SEARCH_PATTERN_ESCAPE: return Text("\\");
    case SQL_SPECIAL_CHARACTERS: return Text("");
    case SQL_KEYWORDS: return Text("");
    case SQL_LIKE_ESCAPE_CLAUSE: return Text("Y");
    case SQL_MAX_COLUMN_NAME_LEN: return Short(64);
    case SQL_MAX_TABLE_NAME_LEN: return Short(64);
    case SQL_MAX_IDENTIFIER_LEN: return Short(64);
    case SQL_MAX_COLUMNS_IN_SELECT: return Short(255);
    case SQL_MAX_COLUMNS_IN_TABLE: return Short(255);
    case SQL_MAX_TABLES_IN_SELECT: return Short(0);
    case SQL_MAX_STATEMENT_LEN: return Integer(0);
    case SQL_MAX_ROW_SIZE: return Integer(4000);
    case SQL_MAX_ROW_SIZE_INCLUDES_LONG: return Text("N");
    case SQL_MAX_CHAR_LITERAL_LEN: return Integer(255);
    case SQL_MAX_CURSOR_NAME_LEN: return Short(0);
    case SQL_MAX_SCHEMA_NAME_LEN: return Short(0);
    case SQL_MAX_CATALOG_NAME_LEN: return Short(0);
    case SQL_MAX_PROCEDURE_NAME_LEN: return Short(0);
    case SQL_MAX_USER_NAME_LEN: return Short(0);
    case SQL_MAX_INDEX_SIZE: return Integer(0);
    case SQL_MAX_BINARY_LITERAL_LEN: return Integer(0);
    case SQL_MAX_COLUMNS_IN_GROUP_BY:
    case SQL_MAX_COLUMNS_IN_INDEX:
    case SQL_MAX_COLUMNS_IN_ORDER_BY: return Short(0);
    case SQL_NEED_LONG_DATA_LEN: return Text("N");
    case SQL_COLUMN_ALIAS: return Text("Y");
    case SQL_CORRELATION_NAME: return Short(SQL_CN_ANY);
    case SQL_GROUP_BY: return Short(SQL_GB_NO_RELATION);
    case SQL_ORDER_BY_COLUMNS_IN_SELECT: return Text("N");
    case SQL_EXPRESSIONS_IN_ORDERBY: return Text("Y");
    case SQL_OUTER_JOINS: return Text("Y");
    case SQL_OJ_CAPABILITIES:
      return Integer(SQL_OJ_LEFT | SQL_OJ_RIGHT | SQL_OJ_FULL | SQL_OJ_NESTED | SQL_OJ_NOT_ORDERED | SQL_OJ_INNER |
                     SQL_OJ_ALL_COMPARISON_OPS);
    case SQL_SUBQUERIES:
      return Integer(SQL_SQ_COMPARISON | SQL_SQ_EXISTS | SQL_SQ_IN | SQL_SQ_QUANTIFIED | SQL_SQ_CORRELATED_SUBQUERIES);
    case SQL_UNION: return Integer(SQL_U_UNION | SQL_U_UNION_ALL);
    // The scalar functions of {fn ...} that the function library holds (function_library.cpp).
    case SQL_STRING_FUNCTIONS:
      return Integer(SQL_FN_STR_ASCII | SQL_FN_STR_BIT_LENGTH | SQL_FN_STR_CHAR | SQL_FN_STR_CHAR_LENGTH |
                     SQL_FN_STR_CHARACTER_LENGTH | SQL_FN_STR_CONCAT | SQL_FN_STR_DIFFERENCE | SQL_FN_STR_INSERT |
                     SQL_FN_STR_LCASE | SQL_FN_STR_LEFT | SQL_FN_STR_LENGTH | SQL_FN_STR_LOCATE |
                     SQL_FN_STR_LOCATE_2 | SQL_FN_STR_LTRIM | SQL_FN_STR_OCTET_LENGTH | SQL_FN_STR_REPEAT |
                     SQL_FN_STR_REPLACE | SQL_FN_STR_RIGHT | SQL_FN_STR_RTRIM | SQL_FN_STR_SOUNDEX |
                     SQL_FN_STR_SPACE | SQL_FN_STR_SUBSTRING | SQL_FN_STR_UCASE);
    case SQL_NUMERIC_FUNCTIONS:
      return Integer(SQL_FN_NUM_ABS | SQL_FN_NUM_ACOS | SQL_FN_NUM_ASIN | SQL_FN_NUM_ATAN | SQL_FN_NUM_ATAN2 |
                     SQL_FN_NUM_CEILING | SQL_FN_NUM_COS | SQL_FN_NUM_COT | SQL_FN_NUM_DEGREES | SQL_FN_NUM_EXP |
                     SQL_FN_NUM_FLOOR | SQL_FN_NUM_LOG | SQL_FN_NUM_LOG10 | SQL_FN_NUM_MOD | SQL_FN_NUM_PI |
                     SQL_FN_NUM_POWER | SQL_FN_NUM_RADIANS | SQL_FN_NUM_RAND | SQL_FN_NUM_ROUND | SQL_FN_NUM_SIGN |
                     SQL_FN_NUM_SIN | SQL_FN_NUM_SQRT | SQL_FN_NUM_TAN | SQL_FN_NUM_TRUNCATE);
    case SQL_TIMEDATE_FUNCTIONS:
      return Integer(SQL_FN_TD_CURRENT_DATE | SQL_FN_TD_CURRENT_TIME | SQL_FN_TD_CURRENT_TIMESTAMP |
                     SQL_FN_TD_CURDATE | SQL_FN_TD_CURTIME | SQL_FN_TD_DAYNAME | SQL_FN_TD_DAYOFMONTH |
                     SQL_FN_TD_DAYOFWEEK | SQL_FN_TD_DAYOFYEAR | SQL_FN_TD_HOUR | SQL_FN_TD_MINUTE |
                     SQL_FN_TD_MONTH | SQL_FN_TD_MONTHNAME | SQL_FN_TD_NOW | SQL_FN_TD_QUARTER | SQL_FN_TD_SECOND |
                     SQL_FN_TD_TIMESTAMPADD | SQL_FN_TD_TIMESTAMPDIFF | SQL_FN_TD_WEEK | SQL_FN_TD_YEAR);
    case SQL_TIMEDATE_ADD_INTERVALS:
    case SQL_TIMEDATE_DIFF_INTERVALS:
      return Integer(SQL_FN_TSI_FRAC_SECOND | SQL_FN_TSI_SECOND | SQL_FN_TSI_MINUTE | SQL_FN_TSI_HOUR |
                     SQL_FN_TSI_DAY | SQL_FN_TSI_WEEK | SQL_FN_TSI_MONTH | SQL_FN_TSI_QUARTER | SQL_FN_TSI_YEAR);
    case SQL_SYSTEM_FUNCTIONS: return Integer(SQL_FN_SYS_DBNAME | SQL_FN_SYS_IFNULL | SQL_FN_SYS_USERNAME);
    case SQL_CONVERT_FUNCTIONS: return Integer(SQL_FN_CVT_CONVERT);
    case SQL_SQL92_PREDICATES:
      return Integer(SQL_SP_BETWEEN | SQL_SP_COMPARISON | SQL_SP_EXISTS | SQL_SP_IN | SQL_SP_ISNOTNULL |
                     SQL_SP_ISNULL | SQL_SP_LIKE | SQL_SP_QUANTIFIED_COMPARISON);
    case SQL_SQL92_RELATIONAL_JOIN_OPERATORS:
      return Integer(SQL_SRJO_CROSS_JOIN | SQL_SRJO_INNER_JOIN | SQL_SRJO_LEFT_OUTER_JOIN |
                     SQL_SRJO_RIGHT_OUTER_JOIN | SQL_SRJO_FULL_OUTER_JOIN | SQL_SRJO_NATURAL_JOIN);
    case SQL_SQL92_VALUE_EXPRESSIONS: return Integer(SQL_SVE_CASE | SQL_SVE_CAST | SQL_SVE_COALESCE | SQL_SVE_NULLIF);
    case SQL_MULT_RESULT_SETS: return Text("N");
    case SQL_PROCEDURES: return Text("N");
    case SQL_ACCESSIBLE_TABLES: return Text("Y");
    case SQL_ACCESSIBLE_PROCEDURES: return Text("N");
    case SQL_INTEGRITY: return Text("N");
    case SQL_DESCRIBE_PARAMETER: return Text("N");
    case SQL_CONCAT_NULL_BEHAVIOR: return Short(SQL_CB_NULL);
    case SQL_NON_NULLABLE_COLUMNS: return Short(SQL_NNC_NULL);
    case SQL_NULL_COLLATION: return Short(SQL_NC_LOW);
    case SQL_FILE_USAGE: return Short(SQL_FILE_CATALOG);
    case SQL_TABLE_TERM: return Text("table");
    case SQL_SCHEMA_TERM: return Text("");
    case SQL_CATALOG_TERM: return Text("");
    case SQL_PROCEDURE_TERM: return Text("");
    case SQL_CATALOG_NAME: return Text("N");
    case SQL_CATALOG_NAME_SEPARATOR: return Text("");
    case SQL_CATALOG_LOCATION: return Short(0);
    case SQL_CATALOG_USAGE:
    case SQL_SCHEMA_USAGE: return Integer(0);
    case SQL_AGGREGATE_FUNCTIONS:
      return Integer(SQL_AF_ALL | SQL_AF_AVG | SQL_AF_COUNT | SQL_AF_DISTINCT | SQL_AF_MAX | SQL_AF_MIN | SQL_AF_SUM);
    case SQL_ALTER_TABLE:
    case SQL_CREATE_TABLE:
    case SQL_CREATE_VIEW:
    case SQL_CREATE_SCHEMA:
    case SQL_DROP_TABLE:
    case SQL_DROP_VIEW:
    case SQL_INSERT_STATEMENT:
    case SQL_DDL_INDEX:
    case SQL_DATETIME_LITERALS:
    case SQL_INFO_SCHEMA_VIEWS:
    case SQL_SQL92_DATETIME_FUNCTIONS:
    case SQL_SQL92_FOREIGN_KEY_DELETE_RULE:
    case SQL_SQL92_FOREIGN_KEY_UPDATE_RULE:
    case SQL_SQL92_GRANT:
    case SQL_SQL92_NUMERIC_VALUE_FUNCTIONS:
    case SQL_SQL92_REVOKE:
    case SQL_SQL92_ROW_VALUE_CONSTRUCTOR:
    case SQL_SQL92_STRING_FUNCTIONS:
    case SQL_STANDARD_CLI_CONFORMANCE:
    case SQL_INDEX_KEYWORDS:
      return Integer(0);
    // {fn CONVERT(value, SQL_type)}: what each type of value converts to.
    case SQL_CONVERT_BIGINT:
    case SQL_CONVERT_BIT:
    case SQL_CONVERT_DECIMAL:
    case SQL_CONVERT_DOUBLE:
    case SQL_CONVERT_FLOAT:
    case SQL_CONVERT_INTEGER:
    case SQL_CONVERT_NUMERIC:
    case SQL_CONVERT_REAL:
    case SQL_CONVERT_SMALLINT:
    case SQL_CONVERT_TINYINT:
    case SQL_CONVERT_DATE:
    case SQL_CONVERT_TIME:
    case SQL_CONVERT_TIMESTAMP: return Integer(kConvertToValues);
    case SQL_CONVERT_CHAR:
    case SQL_CONVERT_VARCHAR:
    case SQL_CONVERT_LONGVARCHAR:
    case SQL_CONVERT_WCHAR:
    case SQL_CONVERT_WVARCHAR:
    case SQL_CONVERT_WLONGVARCHAR: return Integer(kConvertToValues | kConvertToBinary | kConvertToGuid);
    case SQL_CONVERT_BINARY:
    case SQL_CONVERT_VARBINARY:
    case SQL_CONVERT_LONGVARBINARY: return Integer(kConvertToBinary);
    case SQL_CONVERT_GUID: return Integer(kConvertToText | kConvertToGuid);
    default: return std::nullopt;
  }
}

}  // namespace mdbodbc
