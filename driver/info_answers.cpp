#include "info_answers.h"

#include "handles.h"

namespace mdbodbc {
namespace {

// An answer that is the same for every connection.
struct FixedAnswer {
  SQLUSMALLINT type;
  InfoAnswer::Kind kind;
  const char* text;
  SQLUINTEGER number;
};

constexpr FixedAnswer Text(SQLUSMALLINT type, const char* text) { return {type, InfoAnswer::Kind::Text, text, 0}; }
constexpr FixedAnswer Short(SQLUSMALLINT type, SQLUSMALLINT value) { return {type, InfoAnswer::Kind::Short, nullptr, value}; }
constexpr FixedAnswer Integer(SQLUSMALLINT type, SQLUINTEGER value) { return {type, InfoAnswer::Kind::Integer, nullptr, value}; }

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

constexpr SQLUINTEGER kFetchDirections = SQL_FD_FETCH_NEXT | SQL_FD_FETCH_FIRST |
    SQL_FD_FETCH_LAST | SQL_FD_FETCH_PRIOR | SQL_FD_FETCH_ABSOLUTE | SQL_FD_FETCH_RELATIVE;
constexpr SQLUINTEGER kOuterJoins = SQL_OJ_LEFT | SQL_OJ_RIGHT | SQL_OJ_FULL | SQL_OJ_NESTED |
    SQL_OJ_NOT_ORDERED | SQL_OJ_INNER | SQL_OJ_ALL_COMPARISON_OPS;
constexpr SQLUINTEGER kSubqueries = SQL_SQ_COMPARISON | SQL_SQ_EXISTS | SQL_SQ_IN |
    SQL_SQ_QUANTIFIED | SQL_SQ_CORRELATED_SUBQUERIES;
constexpr SQLUINTEGER kStringFunctions = SQL_FN_STR_ASCII | SQL_FN_STR_BIT_LENGTH |
    SQL_FN_STR_CHAR | SQL_FN_STR_CHAR_LENGTH | SQL_FN_STR_CHARACTER_LENGTH | SQL_FN_STR_CONCAT |
    SQL_FN_STR_DIFFERENCE | SQL_FN_STR_INSERT | SQL_FN_STR_LCASE | SQL_FN_STR_LEFT |
    SQL_FN_STR_LENGTH | SQL_FN_STR_LOCATE | SQL_FN_STR_LOCATE_2 | SQL_FN_STR_LTRIM |
    SQL_FN_STR_OCTET_LENGTH | SQL_FN_STR_REPEAT | SQL_FN_STR_REPLACE | SQL_FN_STR_RIGHT |
    SQL_FN_STR_RTRIM | SQL_FN_STR_SOUNDEX | SQL_FN_STR_SPACE | SQL_FN_STR_SUBSTRING |
    SQL_FN_STR_UCASE;
constexpr SQLUINTEGER kNumericFunctions = SQL_FN_NUM_ABS | SQL_FN_NUM_ACOS | SQL_FN_NUM_ASIN |
    SQL_FN_NUM_ATAN | SQL_FN_NUM_ATAN2 | SQL_FN_NUM_CEILING | SQL_FN_NUM_COS | SQL_FN_NUM_COT |
    SQL_FN_NUM_DEGREES | SQL_FN_NUM_EXP | SQL_FN_NUM_FLOOR | SQL_FN_NUM_LOG | SQL_FN_NUM_LOG10 |
    SQL_FN_NUM_MOD | SQL_FN_NUM_PI | SQL_FN_NUM_POWER | SQL_FN_NUM_RADIANS | SQL_FN_NUM_RAND |
    SQL_FN_NUM_ROUND | SQL_FN_NUM_SIGN | SQL_FN_NUM_SIN | SQL_FN_NUM_SQRT | SQL_FN_NUM_TAN |
    SQL_FN_NUM_TRUNCATE;
constexpr SQLUINTEGER kTimeDateFunctions = SQL_FN_TD_CURRENT_DATE | SQL_FN_TD_CURRENT_TIME |
    SQL_FN_TD_CURRENT_TIMESTAMP | SQL_FN_TD_CURDATE | SQL_FN_TD_CURTIME | SQL_FN_TD_DAYNAME |
    SQL_FN_TD_DAYOFMONTH | SQL_FN_TD_DAYOFWEEK | SQL_FN_TD_DAYOFYEAR | SQL_FN_TD_HOUR |
    SQL_FN_TD_MINUTE | SQL_FN_TD_MONTH | SQL_FN_TD_MONTHNAME | SQL_FN_TD_NOW | SQL_FN_TD_QUARTER |
    SQL_FN_TD_SECOND | SQL_FN_TD_TIMESTAMPADD | SQL_FN_TD_TIMESTAMPDIFF | SQL_FN_TD_WEEK |
    SQL_FN_TD_YEAR;
constexpr SQLUINTEGER kIntervals = SQL_FN_TSI_FRAC_SECOND | SQL_FN_TSI_SECOND | SQL_FN_TSI_MINUTE |
    SQL_FN_TSI_HOUR | SQL_FN_TSI_DAY | SQL_FN_TSI_WEEK | SQL_FN_TSI_MONTH | SQL_FN_TSI_QUARTER |
    SQL_FN_TSI_YEAR;
constexpr SQLUINTEGER kPredicates = SQL_SP_BETWEEN | SQL_SP_COMPARISON | SQL_SP_EXISTS | SQL_SP_IN |
    SQL_SP_ISNOTNULL | SQL_SP_ISNULL | SQL_SP_LIKE | SQL_SP_QUANTIFIED_COMPARISON;
constexpr SQLUINTEGER kJoinOperators = SQL_SRJO_CROSS_JOIN | SQL_SRJO_INNER_JOIN |
    SQL_SRJO_LEFT_OUTER_JOIN | SQL_SRJO_RIGHT_OUTER_JOIN | SQL_SRJO_FULL_OUTER_JOIN |
    SQL_SRJO_NATURAL_JOIN;
constexpr SQLUINTEGER kAggregates = SQL_AF_ALL | SQL_AF_AVG | SQL_AF_COUNT | SQL_AF_DISTINCT |
    SQL_AF_MAX | SQL_AF_MIN | SQL_AF_SUM;

constexpr FixedAnswer kFixedAnswers[] = {
    Text(SQL_DRIVER_VER, DRAVON_DRIVER_VER),  // the build defines it from the project's version
    // Conformance: a level 1 API over the minimum SQL grammar, and read-only.
    Short(SQL_ODBC_API_CONFORMANCE, SQL_OAC_LEVEL1),
    Short(SQL_ODBC_SQL_CONFORMANCE, SQL_OSC_MINIMUM),
    Integer(SQL_ODBC_INTERFACE_CONFORMANCE, SQL_OIC_CORE),
    Integer(SQL_SQL_CONFORMANCE, SQL_SC_SQL92_ENTRY),
    Text(SQL_DATA_SOURCE_READ_ONLY, "Y"),
    Text(SQL_DRIVER_ODBC_VER, "03.00"),
    Text(SQL_ODBC_VER, "03.00"),
    Text(SQL_DRIVER_NAME, "libmdbodbc.so"),
    Text(SQL_DBMS_NAME, "ACCESS"),
    Text(SQL_USER_NAME, "Admin"),  // Access's user of a file without a workgroup, as {fn USER()}
    // Cursors: forward-only and static, read-only, scrolling in every direction.
    Integer(SQL_SCROLL_OPTIONS, SQL_SO_FORWARD_ONLY | SQL_SO_STATIC),
    Integer(SQL_SCROLL_CONCURRENCY, SQL_SCCO_READ_ONLY),
    Integer(SQL_FETCH_DIRECTION, kFetchDirections),
    Integer(SQL_STATIC_CURSOR_ATTRIBUTES1, SQL_CA1_NEXT | SQL_CA1_ABSOLUTE | SQL_CA1_RELATIVE),
    Integer(SQL_STATIC_CURSOR_ATTRIBUTES2, SQL_CA2_READ_ONLY_CONCURRENCY),
    Integer(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1, SQL_CA1_NEXT),
    Integer(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES2, SQL_CA2_READ_ONLY_CONCURRENCY),
    Integer(SQL_DYNAMIC_CURSOR_ATTRIBUTES1, 0),
    Integer(SQL_DYNAMIC_CURSOR_ATTRIBUTES2, 0),
    Integer(SQL_KEYSET_CURSOR_ATTRIBUTES1, 0),
    Integer(SQL_KEYSET_CURSOR_ATTRIBUTES2, 0),
    Integer(SQL_CURSOR_SENSITIVITY, SQL_INSENSITIVE),
    Integer(SQL_STATIC_SENSITIVITY, 0),
    Integer(SQL_LOCK_TYPES, 0),
    Integer(SQL_POS_OPERATIONS, 0),
    Integer(SQL_POSITIONED_STATEMENTS, 0),
    Integer(SQL_BOOKMARK_PERSISTENCE, 0),
    Integer(SQL_GETDATA_EXTENSIONS, SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER),
    Text(SQL_ROW_UPDATES, "N"),
    Short(SQL_MAX_CONCURRENT_ACTIVITIES, 0),
    Short(SQL_MAX_DRIVER_CONNECTIONS, 0),
    Integer(SQL_ASYNC_MODE, SQL_AM_NONE),
    Integer(SQL_MAX_ASYNC_CONCURRENT_STATEMENTS, 0),
    Integer(SQL_ASYNC_DBC_FUNCTIONS, SQL_ASYNC_DBC_NOT_CAPABLE),
    Integer(SQL_BATCH_SUPPORT, 0),
    Integer(SQL_BATCH_ROW_COUNT, 0),
    Integer(SQL_PARAM_ARRAY_ROW_COUNTS, 0),
    Integer(SQL_PARAM_ARRAY_SELECTS, 0),
    // Transactions: none; a read-only file keeps its cursors open.
    Short(SQL_TXN_CAPABLE, SQL_TC_NONE),
    Short(SQL_CURSOR_COMMIT_BEHAVIOR, SQL_CB_PRESERVE),
    Short(SQL_CURSOR_ROLLBACK_BEHAVIOR, SQL_CB_PRESERVE),
    Integer(SQL_DEFAULT_TXN_ISOLATION, 0),
    Integer(SQL_TXN_ISOLATION_OPTION, 0),
    Text(SQL_MULTIPLE_ACTIVE_TXN, "N"),
    // Names and the SQL that the engine reads.
    // Access SQL reads "..." as text: names are quoted with ` (or [ ]).
    Text(SQL_IDENTIFIER_QUOTE_CHAR, "`"),
    Short(SQL_IDENTIFIER_CASE, SQL_IC_MIXED),
    Short(SQL_QUOTED_IDENTIFIER_CASE, SQL_IC_MIXED),
    Text(SQL_SEARCH_PATTERN_ESCAPE, "\\"),
    Text(SQL_SPECIAL_CHARACTERS, ""),
    Text(SQL_KEYWORDS, ""),
    Text(SQL_LIKE_ESCAPE_CLAUSE, "Y"),
    Short(SQL_MAX_COLUMN_NAME_LEN, 64),
    Short(SQL_MAX_TABLE_NAME_LEN, 64),
    Short(SQL_MAX_IDENTIFIER_LEN, 64),
    Short(SQL_MAX_COLUMNS_IN_SELECT, 255),
    Short(SQL_MAX_COLUMNS_IN_TABLE, 255),
    Short(SQL_MAX_TABLES_IN_SELECT, 0),
    Integer(SQL_MAX_STATEMENT_LEN, 0),
    Integer(SQL_MAX_ROW_SIZE, 4000),
    Text(SQL_MAX_ROW_SIZE_INCLUDES_LONG, "N"),
    Integer(SQL_MAX_CHAR_LITERAL_LEN, 255),
    Short(SQL_MAX_CURSOR_NAME_LEN, 0),
    Short(SQL_MAX_SCHEMA_NAME_LEN, 0),
    Short(SQL_MAX_CATALOG_NAME_LEN, 0),
    Short(SQL_MAX_PROCEDURE_NAME_LEN, 0),
    Short(SQL_MAX_USER_NAME_LEN, 0),
    Integer(SQL_MAX_INDEX_SIZE, 0),
    Integer(SQL_MAX_BINARY_LITERAL_LEN, 0),
    Short(SQL_MAX_COLUMNS_IN_GROUP_BY, 0),
    Short(SQL_MAX_COLUMNS_IN_INDEX, 0),
    Short(SQL_MAX_COLUMNS_IN_ORDER_BY, 0),
    Text(SQL_NEED_LONG_DATA_LEN, "N"),
    Text(SQL_COLUMN_ALIAS, "Y"),
    Short(SQL_CORRELATION_NAME, SQL_CN_ANY),
    Short(SQL_GROUP_BY, SQL_GB_NO_RELATION),
    Text(SQL_ORDER_BY_COLUMNS_IN_SELECT, "N"),
    Text(SQL_EXPRESSIONS_IN_ORDERBY, "Y"),
    Text(SQL_OUTER_JOINS, "Y"),
    Integer(SQL_OJ_CAPABILITIES, kOuterJoins),
    Integer(SQL_SUBQUERIES, kSubqueries),
    Integer(SQL_UNION, SQL_U_UNION | SQL_U_UNION_ALL),
    // The scalar functions of {fn ...} that the function library holds (function_library.cpp).
    Integer(SQL_STRING_FUNCTIONS, kStringFunctions),
    Integer(SQL_NUMERIC_FUNCTIONS, kNumericFunctions),
    Integer(SQL_TIMEDATE_FUNCTIONS, kTimeDateFunctions),
    Integer(SQL_TIMEDATE_ADD_INTERVALS, kIntervals),
    Integer(SQL_TIMEDATE_DIFF_INTERVALS, kIntervals),
    Integer(SQL_SYSTEM_FUNCTIONS, SQL_FN_SYS_DBNAME | SQL_FN_SYS_IFNULL | SQL_FN_SYS_USERNAME),
    Integer(SQL_CONVERT_FUNCTIONS, SQL_FN_CVT_CONVERT),
    Integer(SQL_SQL92_PREDICATES, kPredicates),
    Integer(SQL_SQL92_RELATIONAL_JOIN_OPERATORS, kJoinOperators),
    Integer(SQL_SQL92_VALUE_EXPRESSIONS, SQL_SVE_CASE | SQL_SVE_CAST | SQL_SVE_COALESCE | SQL_SVE_NULLIF),
    Text(SQL_MULT_RESULT_SETS, "N"),
    Text(SQL_PROCEDURES, "N"),
    Text(SQL_ACCESSIBLE_TABLES, "Y"),
    Text(SQL_ACCESSIBLE_PROCEDURES, "N"),
    Text(SQL_INTEGRITY, "N"),
    Text(SQL_DESCRIBE_PARAMETER, "N"),
    Short(SQL_CONCAT_NULL_BEHAVIOR, SQL_CB_NULL),
    Short(SQL_NON_NULLABLE_COLUMNS, SQL_NNC_NULL),
    Short(SQL_NULL_COLLATION, SQL_NC_LOW),
    Short(SQL_FILE_USAGE, SQL_FILE_CATALOG),
    Text(SQL_TABLE_TERM, "table"),
    Text(SQL_SCHEMA_TERM, ""),
    Text(SQL_CATALOG_TERM, ""),
    Text(SQL_PROCEDURE_TERM, ""),
    Text(SQL_CATALOG_NAME, "N"),
    Text(SQL_CATALOG_NAME_SEPARATOR, ""),
    Short(SQL_CATALOG_LOCATION, 0),
    Integer(SQL_CATALOG_USAGE, 0),
    Integer(SQL_SCHEMA_USAGE, 0),
    Integer(SQL_AGGREGATE_FUNCTIONS, kAggregates),
    Integer(SQL_ALTER_TABLE, 0),
    Integer(SQL_CREATE_TABLE, 0),
    Integer(SQL_CREATE_VIEW, 0),
    Integer(SQL_CREATE_SCHEMA, 0),
    Integer(SQL_DROP_TABLE, 0),
    Integer(SQL_DROP_VIEW, 0),
    Integer(SQL_INSERT_STATEMENT, 0),
    Integer(SQL_DDL_INDEX, 0),
    Integer(SQL_DATETIME_LITERALS, 0),
    Integer(SQL_INFO_SCHEMA_VIEWS, 0),
    Integer(SQL_SQL92_DATETIME_FUNCTIONS, 0),
    Integer(SQL_SQL92_FOREIGN_KEY_DELETE_RULE, 0),
    Integer(SQL_SQL92_FOREIGN_KEY_UPDATE_RULE, 0),
    Integer(SQL_SQL92_GRANT, 0),
    Integer(SQL_SQL92_NUMERIC_VALUE_FUNCTIONS, 0),
    Integer(SQL_SQL92_REVOKE, 0),
    Integer(SQL_SQL92_ROW_VALUE_CONSTRUCTOR, 0),
    Integer(SQL_SQL92_STRING_FUNCTIONS, 0),
    Integer(SQL_STANDARD_CLI_CONFORMANCE, 0),
    Integer(SQL_INDEX_KEYWORDS, 0),
    // {fn CONVERT(value, SQL_type)}: what each type of value converts to.
    Integer(SQL_CONVERT_BIGINT, kConvertToValues),
    Integer(SQL_CONVERT_BIT, kConvertToValues),
    Integer(SQL_CONVERT_DECIMAL, kConvertToValues),
    Integer(SQL_CONVERT_DOUBLE, kConvertToValues),
    Integer(SQL_CONVERT_FLOAT, kConvertToValues),
    Integer(SQL_CONVERT_INTEGER, kConvertToValues),
    Integer(SQL_CONVERT_NUMERIC, kConvertToValues),
    Integer(SQL_CONVERT_REAL, kConvertToValues),
    Integer(SQL_CONVERT_SMALLINT, kConvertToValues),
    Integer(SQL_CONVERT_TINYINT, kConvertToValues),
    Integer(SQL_CONVERT_DATE, kConvertToValues),
    Integer(SQL_CONVERT_TIME, kConvertToValues),
    Integer(SQL_CONVERT_TIMESTAMP, kConvertToValues),
    Integer(SQL_CONVERT_CHAR, kConvertToValues | kConvertToBinary | kConvertToGuid),
    Integer(SQL_CONVERT_VARCHAR, kConvertToValues | kConvertToBinary | kConvertToGuid),
    Integer(SQL_CONVERT_LONGVARCHAR, kConvertToValues | kConvertToBinary | kConvertToGuid),
    Integer(SQL_CONVERT_WCHAR, kConvertToValues | kConvertToBinary | kConvertToGuid),
    Integer(SQL_CONVERT_WVARCHAR, kConvertToValues | kConvertToBinary | kConvertToGuid),
    Integer(SQL_CONVERT_WLONGVARCHAR, kConvertToValues | kConvertToBinary | kConvertToGuid),
    Integer(SQL_CONVERT_BINARY, kConvertToBinary),
    Integer(SQL_CONVERT_VARBINARY, kConvertToBinary),
    Integer(SQL_CONVERT_LONGVARBINARY, kConvertToBinary),
    Integer(SQL_CONVERT_GUID, kConvertToText | kConvertToGuid),
};

constexpr bool EachTypeOnce() {
  for (std::size_t i = 0; i < std::size(kFixedAnswers); ++i) {
    for (std::size_t j = i + 1; j < std::size(kFixedAnswers); ++j) {
      if (kFixedAnswers[i].type == kFixedAnswers[j].type) return false;
    }
  }
  return true;
}
static_assert(EachTypeOnce(), "an information type answered twice");

InfoAnswer TextAnswer(std::string text) {
  InfoAnswer a;
  a.kind = InfoAnswer::Kind::Text;
  a.text = std::move(text);
  return a;
}

// The version of the connection's file format, as Access names its engines.
std::string EngineVersion(const Connection& connection) {
  if (!connection.database) return "";
  switch (connection.database->FileVersion()) {
    case jet::Version::Jet3: return "03.00.0000";
    case jet::Version::Jet4: return "04.00.0000";
    case jet::Version::Ace: return "12.00.0000";
  }
  return "";
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
    case SQL_DBMS_VER: return TextAnswer(EngineVersion(connection));
    case SQL_DATA_SOURCE_NAME: return TextAnswer(connection.dataSource);
    case SQL_SERVER_NAME: return TextAnswer("");
    case SQL_DATABASE_NAME: return TextAnswer(connection.path);
    default: break;
  }
  for (const FixedAnswer& fixed : kFixedAnswers) {
    if (fixed.type != infoType) continue;
    InfoAnswer answer;
    answer.kind = fixed.kind;
    if (fixed.text != nullptr) answer.text = fixed.text;
    answer.number = fixed.number;
    return answer;
  }
  return std::nullopt;
}

}  // namespace mdbodbc
