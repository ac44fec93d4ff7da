// Database errors: the error object every failure of the access layer is raised as, the
// layer's own error codes, and the free function that raises.
//
// An error is thrown as a pointer to a heap CDBException and belongs to the code that catches
// it, which ends it with Delete(). The checks that judge ODBC return codes (CheckResult of the
// connection and of the recordset, CDatabase::CheckStatementResult) are members of those
// classes; their common work lives with this header's sources.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "framework/cstring.h"
#include "framework/exception.h"

class CDatabase;

// The layer's own error codes. They travel in m_nReturnCode like ODBC return codes; codes
// above 1000 and below 1029 are the layer's own range.
enum : RETCODE {
  dbErrorForwardOnlyMove = 1002,           // a move other than next on a forward-only recordset
  dbErrorNoFieldNames = 1003,              // a SELECT list is to be built and no field is bound
  dbErrorEditModeMismatch = 1005,          // update outside Edit/AddNew, or delete inside it
  dbErrorSeveralRowsAffected = 1006,       // a change statement affected more than one row
  dbErrorNotOnRecord = 1007,               // Edit or update with no current record
  dbErrorNoRowAffected = 1008,             // a change statement affected no row
  dbErrorReadOnlyRecordset = 1009,         // a change on a recordset that cannot take it
  dbErrorKeysetCursorUnsupported = 1012,   // the driver has no keyset-driven cursor
  dbErrorStaticCursorUnsupported = 1013,   // the driver has no static cursor
  dbErrorApiConformanceLevel = 1014,       // the driver's API conformance is below level 1
  dbErrorSqlConformanceLevel = 1015,       // the driver's SQL conformance is below minimum
  dbErrorMoveOutOfRange = 1016,            // a move on an empty result or past one of its ends
  dbErrorOdbcVersion = 1018,               // the driver's ODBC version is older than 2
  dbErrorLockModeUnsupported = 1020,       // lockOnEdit and the driver cannot lock exclusively
  dbErrorFieldDataTruncated = 1021,        // a fetch truncated data where that is not tolerated
  dbErrorRowFetchFailed = 1022,            // a fetch reported an error in a row
  dbErrorRowStatusMismatch = 1024,         // a positioned change left an unexpected row status
  dbErrorDynamicCursorUnsupported = 1025,  // the driver has no dynamic cursor
  dbErrorNoSuchField = 1026,               // a field index or name outside the result
  dbErrorBookmarksUnsupported = 1027,      // the driver cannot supply bookmarks
  dbErrorBookmarksDisabled = 1028,         // bookmarks were not asked for at open
};

// The own range, and where the texts of own codes live in the string table (id = base + code).
constexpr RETCODE kFirstOwnErrorCode = 1001;
constexpr RETCODE kLastOwnErrorCode = 1028;
constexpr UINT kOwnErrorStringBase = 61080;

// The text of an own code whose string is missing from the string table.
inline constexpr char16_t kMissingErrorStringText[] =
    u"Dravon internal error: unable to load error string from resource.";

class CDBException : public CException {
  DRAVON_DECLARE_CLASS(CDBException)

 public:
  // The code the error was raised for: an ODBC return code or one of the own codes.
  RETCODE m_nReturnCode;
  // The messages of the diagnostic records, each followed by "\n", without their bracketed
  // origins; the text of an own code; otherwise empty.
  CString m_strErrorText;
  // One line per diagnostic record: "State:" SQLSTATE ",Native:" n ",Origin:" origins "\n".
  CString m_strStateInfo;

  explicit CDBException(RETCODE nReturnCode);
  ~CDBException() override;

  using CException::GetMessageText;
  // Copies m_strErrorText, cut to capacity - 1 characters, always terminated; TRUE unless no
  // buffer is given.
  BOOL GetMessageText(char16_t* buffer, UINT capacity,
                      UINT* helpContext = nullptr) const override;

  // Reads and consumes the pending diagnostic records of `hstmt` (of the connection when it is
  // null) and appends them to both texts; traces each record when `bTrace` is TRUE.
  virtual void AppendDiagnostics(CDatabase* pDatabase, HSTMT hstmt, BOOL bTrace);

  // Traces a text of any length in lines of at most 80 characters.
  void TraceText(const char16_t* text);

  // TRUE when `literal` ("State:01004" and the like) occurs in m_strStateInfo.
  BOOL HasState(const char16_t* literal) const;
};

// A new CDBException for the code holding the pending diagnostics of `hstmt` (of the connection
// when it is null), for a caller that decides from them whether to throw it. No memory raises
// the framework's memory error; a failure while reading the diagnostics deletes the new error.
CDBException* NewDatabaseError(RETCODE nReturnCode, CDatabase* pDatabase, HSTMT hstmt,
                               BOOL bTrace);

// Creates a CDBException for the code, fills its texts (the driver's diagnostics for SQL_ERROR
// with a connection, the own code's text for an own code) and throws it.
[[noreturn]] void RaiseDatabaseError(RETCODE nReturnCode, CDatabase* pDatabase, HSTMT hstmt);

// The success-with-information trace shared by the connection's and the recordset's checks:
// "Warning: ODBC Success With Info, " followed by the traced diagnostics of `hstmt` (of the
// connection when it is null), which are consumed.
void TraceSuccessWithInfo(CDatabase* pDatabase, HSTMT hstmt);
