// Control interface of the scripted ODBC driver manager used by the tests.
//
// The library behind this header exports the ODBC 2 entry points (SQLAllocEnv ... SQLFreeEnv,
// wide forms where the layer uses them) with the prototypes of unixODBC's headers and answers
// them like unixODBC 2.3.11 in front of a healthy ODBC 3 driver, as an ODBC 2 application sees
// it. A test links the target `fakeodbc` and steers it with the functions below; a program that
// links the system libodbc.so.2 can be pointed at it with LD_LIBRARY_PATH and steered with the
// environment variables FAKEODBC_SCRIPT and FAKEODBC_LOG (see loadScript).
//
// Linking: `fakeodbc` is libodbc.so.2 plus its companion libfakeodbc_core.so (the state and
// this interface) in one folder, $<TARGET_FILE_DIR:fakeodbc>. A test executable may link the
// system libodbc as well (through the access layer): the executable's run path names the
// fake's folder, so the fake libodbc.so.2 is the one loaded whatever the link order.
//
// All state is process-wide and guarded by one mutex. Nothing depends on time or addresses:
// handles are numbered in allocation order per kind (env#1, dbc#1, stmt#1, stmt#2 ...).
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakeodbc {

// The entry points the fake implements, named like the ODBC functions.
enum class Fn : int {
  SQLAllocEnv, SQLAllocConnect, SQLSetConnectOptionW, SQLDriverConnectW, SQLGetInfoW,
  SQLAllocStmt, SQLNumResultCols, SQLErrorW, SQLSetStmtOption, SQLGetStmtOption, SQLGetFunctions,
  SQLPrepareW, SQLExecDirectW, SQLExecute, SQLDescribeColW, SQLExtendedFetch, SQLFetch,
  SQLGetData, SQLFreeStmt, SQLDisconnect, SQLFreeConnect, SQLFreeEnv
};

const char* functionName(Fn fn);
std::optional<Fn> functionByName(std::string_view name);

// One diagnostic record: a five-character SQLSTATE, a native error and the message.
struct Diag {
  std::string state;
  SQLINTEGER native = 0;
  std::u16string message;

  bool operator==(const Diag&) const = default;
};

// Messages of the records the driver manager part of the fake produces by itself.
namespace messages {
inline constexpr char16_t functionSequenceError[] =
    u"[unixODBC][Driver Manager]Function sequence error";
inline constexpr char16_t invalidCursorState[] = u"[unixODBC][Driver Manager]Invalid cursor state";
inline constexpr char16_t connectionNotOpen[] = u"[unixODBC][Driver Manager]Connection not open";
inline constexpr char16_t connectionInUse[] = u"[unixODBC][Driver Manager]Connection name in use";
inline constexpr char16_t stringTruncated[] = u"[FakeODBC][Driver]String data, right truncated";
inline constexpr char16_t injectedFailure[] = u"[FakeODBC][Driver]Injected failure";
}  // namespace messages

// One result column as SQLDescribeColW reports it.
struct Column {
  std::u16string name;
  SQLSMALLINT sqlType = SQL_WVARCHAR;
  SQLULEN size = 255;
  SQLSMALLINT decimalDigits = 0;
  SQLSMALLINT nullable = SQL_NULLABLE;

  bool operator==(const Column&) const = default;
};

using Cell = std::optional<std::u16string>;  // std::nullopt is NULL
using Row = std::vector<Cell>;

struct ResultSet {
  std::vector<Column> columns;
  std::vector<Row> rows;  // every row has one cell per column
};

// The result every statement gets unless configured otherwise: one nullable SQL_WVARCHAR(50)
// column "marque" with the rows "Airbus", "Boeing", "Cessna", "Dassault".
ResultSet healthyResult();

// An SQLGetInfoW answer: a 16-bit or 32-bit integer (written in that width, length 2 or 4) or
// a text (cut to the buffer with SQL_SUCCESS_WITH_INFO and 01004, length in bytes).
struct InfoValue {
  enum class Kind { Int16, Int32, Text };
  Kind kind = Kind::Int32;
  std::uint32_t number = 0;
  std::u16string text;

  static InfoValue int16(std::uint16_t value) { return {Kind::Int16, value, {}}; }
  static InfoValue int32(std::uint32_t value) { return {Kind::Int32, value, {}}; }
  static InfoValue string(std::u16string value) { return {Kind::Text, 0, std::move(value)}; }
};

// A scripted answer to one call.
//
// Without runDefault the call does none of its own work: it answers rc (SQL_SUCCESS when not
// given), posts diags on its handle for SQLErrorW and writes only the outputs given below. A
// failed allocation writes a null handle; SQLAllocEnv has no handle to post records on.
// With runDefault the call does its normal work first (moves the cursor, allocates, ...); then
// a given rc replaces the normal return code and the normal diagnostics by diags, while without
// rc the diags are added to the normal ones; given outputs overwrite the normal ones.
// stillExecuting = k: this call and the next k-1 calls of the same function answer
// SQL_STILL_EXECUTING (no work, no diagnostics); the call after them gets the rest of the answer.
//
// Outputs, by function:
//   text      SQLDriverConnectW completed string, SQLGetInfoW text, SQLDescribeColW name,
//             SQLGetData value (written as a read of that text from its start)
//   number    SQLNumResultCols count, SQLGetInfoW integer, SQLGetStmtOption value,
//             SQLSetStmtOption value kept (a substituted option), SQLGetFunctions flag,
//             SQLExtendedFetch fetched-row count
//   length    reported length: SQLGetData indicator (e.g. SQL_NULL_DATA, SQL_NO_TOTAL),
//             SQLGetInfoW / SQLDriverConnectW / SQLDescribeColW / SQLErrorW length output
//   rowStatus SQLExtendedFetch row status array entries
//   column    SQLDescribeColW description
// SQLErrorW: diags[0], when given, is written to the outputs; without runDefault no pending
// record is consumed.
struct Answer {
  std::optional<SQLRETURN> rc;
  std::vector<Diag> diags;
  bool runDefault = false;
  int stillExecuting = 0;
  std::optional<std::u16string> text;
  std::optional<std::int64_t> number;
  std::optional<SQLLEN> length;
  std::optional<SQLUSMALLINT> rowStatus;
  std::optional<Column> column;
  // SQLErrorW: the state and the message fill their buffers (6 and the capacity given) with no
  // terminator, as a faulty driver writes them.
  bool unterminated = false;

  // rc with these records, no work done.
  static Answer fail(SQLRETURN rc, std::vector<Diag> diags = {});
  // Normal work, then SQL_SUCCESS_WITH_INFO with these records.
  static Answer withInfo(std::vector<Diag> diags);
  // SQL_STILL_EXECUTING `times` times, then the normal answer.
  static Answer still(int times);
};

// Back to a healthy driver: default result, default information table, every function
// supported, no script, empty log, no handles, counters at zero.
void reset();

// Result sets. A statement takes its result when it is prepared or executed directly: the
// result configured for exactly its text, else the default result.
void setResult(ResultSet result);
void setResultFor(std::u16string statementText, ResultSet result);

// The completed connection string SQLDriverConnectW returns; by default the input string.
void setCompletedConnectString(std::u16string text);

// SQLGetInfoW table. An information type not in the table answers S1096.
void setInfo(SQLUSMALLINT infoType, InfoValue value);
void removeInfo(SQLUSMALLINT infoType);

// SQLGetFunctions: every ODBC function is supported until switched off here.
void setFunctionSupported(SQLUSMALLINT apiId, bool supported);

// The nth call of fn from now (1 = the next one) gets this answer.
void answer(Fn fn, int nth, Answer scripted);
// Call number `index` of the run (counted over every function from 1 since reset()) gets this
// answer; it takes precedence over a per-function answer for the same call.
void answerCall(std::size_t index, Answer scripted);
// Call number `index` fails once, without doing its work.
void failCall(std::size_t index, SQLRETURN rc = SQL_ERROR,
              Diag diag = {"S1000", 0, messages::injectedFailure});

// Applies a script in the line format of FAKEODBC_SCRIPT (described in README.md) on top of
// the current configuration. Throws std::invalid_argument naming the line on a malformed script.
void loadScript(std::string_view scriptText);

// One logged call.
struct Call {
  std::size_t index = 0;  // 1-based over the whole run
  Fn fn = Fn::SQLAllocEnv;
  std::string args;  // e.g. "stmt#1, SQL_FETCH_NEXT, 1"
  SQLRETURN rc = SQL_SUCCESS;

  std::string name() const { return functionName(fn); }
  std::string line() const;  // "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS"
};

std::vector<Call> calls();
std::vector<std::string> callNames();
std::vector<std::string> callLines();
std::string logText();    // callLines() joined, one per line
std::size_t callCount();  // calls since reset(); the next call has index callCount() + 1
void clearLog();          // forgets the logged calls; counters, handles and scripts stay

struct HandleCount {
  int allocated = 0;
  int freed = 0;  // freed by SQLFreeEnv / SQLFreeConnect / SQLFreeStmt(SQL_DROP)
  int live = 0;
};

struct HandleBalance {
  HandleCount env;
  HandleCount dbc;
  HandleCount stmt;
  int stmtsReleasedByDisconnect = 0;  // statements SQLDisconnect dropped because nobody did
  int invalidHandleUses = 0;          // calls answered SQL_INVALID_HANDLE
  std::vector<std::string> liveHandles;

  // Every handle was freed explicitly and no call got SQL_INVALID_HANDLE.
  bool balanced() const;
  // A line per kind ("env allocated=1 freed=1 live=0"), the invalid uses and the live handles.
  std::string text() const;
};

HandleBalance handleBalance();

// "env#1", "dbc#2", "stmt#3"; "NULL" for a null handle and "unknown" for anything else.
std::string handleName(SQLHANDLE handle);

// The diagnostic records waiting on a handle for SQLErrorW (not consumed, not logged).
std::vector<Diag> pendingDiags(SQLHANDLE handle);

// Current option values as the fake remembers them (not logged).
std::optional<SQLULEN> statementOption(SQLHSTMT statement, SQLUSMALLINT option);
std::optional<SQLULEN> connectionOption(SQLHDBC connection, SQLUSMALLINT option);

// "SQL_SUCCESS", "SQL_NO_DATA", ... or the number.
std::string returnCodeName(SQLRETURN rc);

}  // namespace fakeodbc
