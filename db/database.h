// CDatabase: one ODBC connection.
//
// Every connection of the process allocates its connection handle from one shared ODBC
// environment, kept with the count of connection handles in DatabaseProcessState. The
// environment is allocated with SQLAllocEnv and no ODBC version is set, so the driver manager
// reports ODBC 2 SQLSTATEs. The process-wide database lock guards that record and every
// connection's recordset list.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "db/db_exception.h"
#include "framework/cstring.h"
#include "framework/object.h"
#include "framework/process_lock.h"
#include "framework/ptr_list.h"

class CRecordset;

// The process-wide record of the shared environment.
struct DatabaseProcessState {
  HENV henvAllConnections;  // the environment shared by every connection
  std::int32_t nAllocated;  // connection handles allocated from it and not yet freed
};

// The record, created zero-filled on first use.
DatabaseProcessState& GetDatabaseProcessState();

// Holds the process-wide database lock for a scope.
class DatabaseLock : public ProcessLockGuard {
 public:
  DatabaseLock() : ProcessLockGuard(ProcessLockId::Database) {}
};

class CDatabase : public CObject {
  DRAVON_DECLARE_CLASS(CDatabase)

 public:
  // Option bits of OpenWithOptions.
  enum OpenOptions : DWORD {
    exclusiveAccess = 0x0001,     // not supported; callers must not give it
    readOnlyAccess = 0x0002,      // the connection is opened read-only
    withCursorLibrary = 0x0004,   // the driver manager's cursor library is used if needed
    noDriverPrompt = 0x0008,      // the driver never prompts
    alwaysDriverPrompt = 0x0010,  // the driver always prompts
  };

  // Members, in declaration order.
  HDBC m_hdbc;                      // null whenever the connection is not open
  BOOL m_bTransactionPending;
  BOOL m_bTrimTrailingBlanks;
  BOOL m_bCountAddedRows;           // TRUE once a handle was allocated with the cursor library
  BOOL m_bForUpdateClause;          // append " FOR UPDATE " for positioned updates
  char16_t m_chIdentifierQuote;     // the driver's identifier quote character
  CString m_strConnect;             // the connect string; "ODBC;" + completed string once open
  CPtrList m_listRecordsets;        // CRecordset*, most recently registered first
  BOOL m_bUpdatable;
  BOOL m_bTransactions;
  std::int16_t m_nCursorsOnCommit;    // SQL_CURSOR_COMMIT_BEHAVIOR, -1 when unknown
  std::int16_t m_nCursorsOnRollback;  // SQL_CURSOR_ROLLBACK_BEHAVIOR, -1 when unknown
  DWORD m_dwUpdateCapabilities;     // bit 1 SQLSetPos, bit 2 positioned SQL, bit 4 GetData bound
  DWORD m_dwBookmarkPersistence;
  DWORD m_dwLoginTimeout;           // seconds
  HSTMT m_hstmtCancel;              // passed with connection errors; never set by the layer
  DWORD m_dwQueryTimeout;           // seconds; 0xFFFFFFFF: no timeout is set

  // Capability bits of m_dwUpdateCapabilities.
  static constexpr DWORD kCanSetPos = 1;
  static constexpr DWORD kCanPositionedSql = 2;
  static constexpr DWORD kCanGetDataBound = 4;

  CDatabase();
  ~CDatabase() override;

  // The virtual operations after CObject's five, in this order.
  virtual BOOL Open(const char16_t* dataSourceName, BOOL exclusive, BOOL readOnly,
                    const char16_t* connect, BOOL useCursorLibrary);
  virtual BOOL OpenWithOptions(const char16_t* connect, DWORD options);
  virtual void Close();
  virtual void ApplyStatementOptions(HSTMT hstmt);
  virtual void BindParameters(HSTMT hstmt);
  virtual BOOL CheckResult(RETCODE nReturnCode);
  [[noreturn]] virtual void RaiseError(RETCODE nReturnCode);

  void AssertValid() const override;
  void Dump(CDumpContext& dc) const override;

  BOOL IsOpen() const { return m_hdbc != SQL_NULL_HDBC; }

  // Close with its errors swallowed, then free the shared environment when no connection
  // handle remains.
  void Free();

  // Steps of the open.
  void AllocateConnection(DWORD options);
  BOOL ConnectDriver(DWORD options);
  void CheckConformance();
  void ReadConnectionInfo();

  // The connection's judgement of a return code; diagnostics are read on `hstmt` when given.
  BOOL CheckStatementResult(RETCODE nReturnCode, HSTMT hstmt);

  // Rewrites bracketed names outside literals with the identifier quote, in place.
  void QuoteBracketedNames(char16_t* text);

  void SetLoginTimeout(DWORD seconds) { m_dwLoginTimeout = seconds; }
  void SetQueryTimeout(DWORD seconds) { m_dwQueryTimeout = seconds; }

  CDatabase(const CDatabase&) = delete;
  CDatabase& operator=(const CDatabase&) = delete;
};
