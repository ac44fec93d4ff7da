// Opening a recordset: the argument checks, the connection and statement it needs, the
// statement options chosen from what the driver offers, the prepare and execute with the
// concurrency fallback, the description of the result columns and the first fetch.
#include <algorithm>
#include <new>
#include <string>

#include "db/recordset.h"
#include "db/still_executing.h"
#include "framework/trace.h"

namespace {

// SQLGetInfoW answers of 32 bits are read into a buffer of this many bytes.
constexpr SQLSMALLINT kInfoIntegerBytes = 4;
// The ODBC version text ("03.80.0000" and the like) fits in this many wide characters.
constexpr int kVersionChars = 30;
// Column names are kept to this many characters; the buffer holds one more for the driver's
// terminator.
constexpr int kColumnNameChars = 256;

// A zero-filled array from the heap; a lack of memory is raised as the framework's error.
template <class T>
T* NewZeroedArray(std::size_t count) {
  try {
    return new T[count]();
  } catch (const std::bad_alloc&) {
    ThrowMemoryException();
  }
}

bool IsKnownOpenType(UINT type) {
  return type == CRecordset::keysetCursor || type == CRecordset::staticCursor ||
         type == CRecordset::forwardOnly || type == CRecordset::dynamicCursor;
}

SQLWCHAR* OdbcText(const CString& text) {
  return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(text.GetString()));
}

// The driver's questions about itself (SQLGetFunctions and SQLGetInfoW on the connection)
// leave their diagnostic records on the connection handle, where the statement's judgement
// would never look: they are judged and raised with the connection's records.
bool ConnectionCallSucceeded(CDatabase* database, RETCODE rc) {
  return database->CheckStatementResult(rc, SQL_NULL_HSTMT) != FALSE;
}

[[noreturn]] void RaiseConnectionCallError(CDatabase* database, RETCODE rc) {
  RaiseDatabaseError(rc, database, SQL_NULL_HSTMT);
}

// The driver's SQL_SCROLL_OPTIONS bits; a failed query is traced and raised.
SQLUINTEGER ReadScrollOptions(CDatabase* database) {
  SQLUINTEGER scrollOptions = 0;
  const RETCODE rc = SQLGetInfoW(database->m_hdbc, SQL_SCROLL_OPTIONS, &scrollOptions,
                                 kInfoIntegerBytes, nullptr);
  if (!ConnectionCallSucceeded(database, rc)) {
    TraceDatabase("Error: ODBC failure checking for driver capabilities.\n");
    RaiseConnectionCallError(database, rc);
  }
  return scrollOptions;
}

}  // namespace

BOOL CRecordset::Open(UINT openType, const char16_t* statementText, DWORD options) {
  // Refusals come before anything changes. A non-null text cannot be checked further here.
  if (IsOpen()) ThrowInvalidArgException();
  if (openType != defaultOpenType && !IsKnownOpenType(openType)) ThrowInvalidArgException();
  const UINT typeInForce = openType == defaultOpenType ? m_nDefaultOpenType : openType;
  if (!IsKnownOpenType(typeInForce)) ThrowInvalidArgException();
  if ((options & readOnly) && (options & addOnly)) ThrowInvalidArgException();
  if ((options & fastBulkAdd) && !(options & addOnly)) ThrowInvalidArgException();
  if ((options & skipDeletedRows) && typeInForce == forwardOnly) ThrowInvalidArgException();

  ApplyOpenArguments(openType, statementText, options);
  if (!EnsureStatement()) return FALSE;

  try {
    ApplyStatementOptions(m_hstmt);
    bool fieldStateAllocated = false;
    if (m_nFields > 0 || m_nParams > 0) {
      AllocateFieldState();
      fieldStateAllocated = true;
    }
    ComposeStatement(statementText);
    ExecuteStatement();
    DescribeColumns();
    SetUpRowStatus();
    if (!fieldStateAllocated && (m_nFields > 0 || m_nParams > 0)) AllocateFieldState();
    BeforeBindFields();
    MoveNext();
    m_bBOF = m_bEOF;
  } catch (CException*) {
    // A step that already closed the recordset (AllocateFieldState does on a lack of memory)
    // is not closed twice. An error of the close itself must not replace the one being
    // passed on.
    if (m_hstmt != SQL_NULL_HSTMT || m_lOpen != 0) {
      try {
        Close();
      } catch (CException* closeError) {
        closeError->Delete();
      }
    }
    throw;
  }
  return TRUE;
}

void CRecordset::ApplyOpenArguments(UINT openType, const char16_t* statementText,
                                    DWORD options) {
  m_nOpenType = openType == defaultOpenType ? m_nDefaultOpenType : openType;

  m_bAppendable = (options & addOnly) || !(options & readOnly);
  m_bUpdatable = !(options & readOnly) && !(options & addOnly);

  if (options & (skipDirtyCheck | multiRowFetch)) m_bDirtyFieldCheck = FALSE;

  if (m_nOpenType == forwardOnly && !(options & readOnly)) {
    TraceDatabase("Warning: Setting forwardOnly recordset readOnly.\n");
    options |= readOnly;
    if (options & multiRowFetch) options |= extendedFetch;
  }

  // A forward-only open sets no concurrency on its statement, which then keeps the driver's
  // read-only default; the model says so rather than keeping a previous open's choice.
  m_dwConcurrencyModel = SQL_CONCUR_READ_ONLY;

  m_dwOpenOptions = options;
  m_strOpenedSQL = statementText;
  m_strOpenedWhere = m_strWhereClause;
  m_strOpenedOrderBy = m_strOrderByClause;
}

BOOL CRecordset::EnsureStatement() {
  if (m_hstmt != SQL_NULL_HSTMT) return TRUE;

  bool allocatedHere = false;
  try {
    if (m_pDatabase == nullptr) {
      try {
        m_pDatabase = new CDatabase;
      } catch (const std::bad_alloc&) {
        ThrowMemoryException();
      }
      m_bRecordsetDb = TRUE;
    }

    const CString connect = DefaultConnectString();
    if (!m_pDatabase->IsOpen()) {
      const BOOL useCursorLibrary =
          m_bCursorLibrary || (m_nOpenType == staticCursor && !(m_dwOpenOptions & readOnly));
      if (!m_pDatabase->Open(u"", FALSE, FALSE, connect, useCursorLibrary)) return FALSE;

      if (m_nOpenType == staticCursor && !useCursorLibrary) {
        if (!(ReadScrollOptions(m_pDatabase) & SQL_SO_STATIC)) {
          // The driver cannot keep a static cursor by itself: connect again with the cursor
          // library.
          m_pDatabase->Close();
          if (!m_pDatabase->Open(u"", FALSE, FALSE, connect, TRUE)) return FALSE;
        }
      }
    }

    const RETCODE rc = SQLAllocStmt(m_pDatabase->m_hdbc, &m_hstmt);
    if (!ConnectionCallSucceeded(m_pDatabase, rc)) {
      m_hstmt = SQL_NULL_HSTMT;
      RaiseError(SQL_INVALID_HANDLE);
    }
    allocatedHere = true;

    DatabaseLock lock;
    m_pDatabase->m_listRecordsets.AddHead(this);
  } catch (CException*) {
    TraceDatabase("Error: CDatabase create for CRecordset failed.\n");
    // A statement that could not be registered is dropped now: nothing would close it before
    // its connection goes, and the handle would be left dangling.
    if (allocatedHere && m_hstmt != SQL_NULL_HSTMT) {
      SQLFreeStmt(m_hstmt, SQL_DROP);
      m_hstmt = SQL_NULL_HSTMT;
    }
    if (m_bRecordsetDb) {
      delete m_pDatabase;
      m_pDatabase = nullptr;
    }
    throw;
  }
  return TRUE;
}

void CRecordset::ApplyStatementOptions(HSTMT statement) {
  if (m_pDatabase == nullptr) ThrowInvalidArgException();
  m_pDatabase->ApplyStatementOptions(statement);

  if (m_nOpenType == forwardOnly && !(m_dwOpenOptions & extendedFetch)) return;
  TurnOnBookmarks();
  if (m_nOpenType == forwardOnly) return;

  CheckScrollSupport();
  const UDWORD cursorType = ChooseCursorType();
  ChooseUpdateMethod();
  ApplyCursorTypeAndLocking(statement, cursorType);
}

void CRecordset::TurnOnBookmarks() {
  if (!(m_dwOpenOptions & withBookmarks)) return;
  if (m_pDatabase == nullptr) ThrowInvalidArgException();
  if (!(m_pDatabase->m_dwBookmarkPersistence & SQL_BP_SCROLL)) return;

  const RETCODE rc = SQLSetStmtOption(m_hstmt, SQL_USE_BOOKMARKS, SQL_UB_ON);
  if (!CheckResult(rc)) {
    TraceDatabase("Error: Can't enable bookmark support.\n");
    RaiseError(rc);
  }
}

void CRecordset::CheckScrollSupport() {
  if (m_pDatabase == nullptr) ThrowInvalidArgException();

  SQLUSMALLINT supported = 0;
  RETCODE rc = SQLGetFunctions(m_pDatabase->m_hdbc, SQL_API_SQLEXTENDEDFETCH, &supported);
  if (!ConnectionCallSucceeded(m_pDatabase, rc)) {
    TraceDatabase("Error: ODBC failure determining whether recordset is scrollable.\n");
    RaiseConnectionCallError(m_pDatabase, rc);
  }
  m_bScrollable = supported;
  if (supported == 0) {
    TraceDatabase("Warning: SQLExtendedFetch not supported by driver\n");
    TraceDatabase("and/or cursor library not loaded. Opening forwardOnly.\n");
    TraceDatabase("for use with SQLFetch.\n");
    m_bUpdatable = FALSE;
    return;
  }

  SQLWCHAR version[kVersionChars] = {};
  SQLSMALLINT versionBytes = 0;
  rc = SQLGetInfoW(m_pDatabase->m_hdbc, SQL_ODBC_VER, version,
                   static_cast<SQLSMALLINT>(sizeof version), &versionBytes);
  if (!ConnectionCallSucceeded(m_pDatabase, rc)) {
    TraceDatabase("Error: ODBC failure checking for driver capabilities.\n");
    RaiseConnectionCallError(m_pDatabase, rc);
  }
  version[kVersionChars - 1] = 0;
  if (version[0] == u'0' && version[1] < u'2') RaiseError(dbErrorOdbcVersion);
}

UDWORD CRecordset::ChooseCursorType() {
  if (m_pDatabase == nullptr) ThrowInvalidArgException();

  const SQLUINTEGER scrollOptions = ReadScrollOptions(m_pDatabase);

  switch (m_nOpenType) {
    case keysetCursor:
      if (!(scrollOptions & SQL_SO_KEYSET_DRIVEN)) RaiseError(dbErrorKeysetCursorUnsupported);
      return SQL_CURSOR_KEYSET_DRIVEN;
    case staticCursor:
      if (!(scrollOptions & SQL_SO_STATIC)) RaiseError(dbErrorStaticCursorUnsupported);
      return SQL_CURSOR_STATIC;
    default:
      if (!(scrollOptions & SQL_SO_DYNAMIC)) RaiseError(dbErrorDynamicCursorUnsupported);
      return SQL_CURSOR_DYNAMIC;
  }
}

void CRecordset::ChooseUpdateMethod() {
  if (m_pDatabase == nullptr) ThrowInvalidArgException();
  const DWORD capabilities = m_pDatabase->m_dwUpdateCapabilities;
  if (capabilities & CDatabase::kCanSetPos) {
    m_bPositionedUpdates = FALSE;
  } else if (capabilities & CDatabase::kCanPositionedSql) {
    m_bPositionedUpdates = TRUE;
  } else {
    m_bUpdatable = FALSE;
  }
}

void CRecordset::ApplyCursorTypeAndLocking(HSTMT statement, UDWORD cursorType) {
  if (m_pDatabase == nullptr) ThrowInvalidArgException();

  m_dwConcurrencyModel = SQL_CONCUR_READ_ONLY;
  if ((m_bUpdatable || m_bAppendable) && m_pDatabase->m_bUpdatable) {
    SQLUINTEGER scrollConcurrency = 0;
    const RETCODE rc = SQLGetInfoW(m_pDatabase->m_hdbc, SQL_SCROLL_CONCURRENCY,
                                   &scrollConcurrency, kInfoIntegerBytes, nullptr);
    if (!ConnectionCallSucceeded(m_pDatabase, rc)) {
      TraceDatabase("Error: ODBC failure checking recordset updatability.\n");
      RaiseConnectionCallError(m_pDatabase, rc);
    }
    m_dwScrollConcurrency = scrollConcurrency;

    if (m_bLockMode == lockOnEdit) {
      if (m_dwScrollConcurrency & SQL_SCCO_LOCK) {
        m_dwConcurrencyModel = SQL_CONCUR_LOCK;
      } else {
        TraceDatabase("Warning: locking not supported, setting recordset read only.\n");
      }
    } else if (m_dwScrollConcurrency & SQL_SCCO_OPT_ROWVER) {
      m_dwConcurrencyModel = SQL_CONCUR_ROWVER;
    } else if (m_dwScrollConcurrency & SQL_SCCO_OPT_VALUES) {
      m_dwConcurrencyModel = SQL_CONCUR_VALUES;
    } else if (m_dwScrollConcurrency & SQL_SCCO_LOCK) {
      m_dwConcurrencyModel = SQL_CONCUR_LOCK;
    }
  }

  RETCODE rc = SQLSetStmtOption(statement, SQL_CURSOR_TYPE, cursorType);
  if (!CheckResult(rc)) {
    TraceDatabase("Error: ODBC failure setting recordset cursor type.\n");
    RaiseError(rc);
  }
  rc = SQLSetStmtOption(statement, SQL_CONCURRENCY, m_dwConcurrencyModel);
  if (!CheckResult(rc)) {
    TraceDatabase("Error: ODBC failure setting recordset concurrency.\n");
    RaiseError(rc);
  }
}

void CRecordset::ExecuteStatement() {
  const bool direct = (m_dwOpenOptions & directExecute) != 0;
  RETCODE rc = SQL_SUCCESS;

  // Each pass that the driver refuses for its concurrency lowers the model; a refusal of the
  // read-only model ends the loop with the driver's error.
  for (;;) {
    rc = CallUntilDone([&] {
      return direct ? SQLExecDirectW(m_hstmt, OdbcText(m_strSQL), SQL_NTS)
                    : SQLPrepareW(m_hstmt, OdbcText(m_strSQL), SQL_NTS);
    });
    if (CheckResult(rc)) break;

    CDBException* error = NewDatabaseError(rc, m_pDatabase, m_hstmt, TRUE);

    if (m_dwConcurrencyModel != SQL_CONCUR_READ_ONLY && error->HasState(u"State:S1C00")) {
      TraceDatabase("Warning: Driver does not support requested concurrency.\n");
      error->Delete();

      if ((m_dwScrollConcurrency & SQL_SCCO_LOCK) &&
          (m_dwConcurrencyModel == SQL_CONCUR_ROWVER ||
           m_dwConcurrencyModel == SQL_CONCUR_VALUES)) {
        m_dwConcurrencyModel = SQL_CONCUR_LOCK;
      } else {
        m_dwConcurrencyModel = SQL_CONCUR_READ_ONLY;
        m_bAppendable = FALSE;
        m_bUpdatable = FALSE;
        TraceDatabase("Warning: Setting recordset read only.\n");
      }

      rc = SQLSetStmtOption(m_hstmt, SQL_CONCURRENCY, m_dwConcurrencyModel);
      if (!CheckResult(rc)) {
        TraceDatabase("Error: ODBC failure setting recordset concurrency.\n");
        RaiseError(rc);
      }
      continue;
    }

    TraceDatabase("Error: ODBC failure on SQLPrepare or SQLExecDirect\n");
    throw error;
  }

  if (!direct) {
    rc = CallUntilDone([&] { return SQLExecute(m_hstmt); });
    if (!CheckResult(rc)) RaiseError(rc);
  }
  m_lOpen = 1;

  if (rc == SQL_SUCCESS_WITH_INFO) {
    // The driver may have lowered the concurrency while it executed.
    SQLULEN concurrency = 0;
    const RETCODE optionRc = SQLGetStmtOption(m_hstmt, SQL_CONCURRENCY, &concurrency);
    if (!CheckResult(optionRc)) RaiseError(optionRc);
    if (concurrency == SQL_CONCUR_READ_ONLY && (m_bUpdatable || m_bAppendable)) {
      m_bUpdatable = FALSE;
      m_bAppendable = FALSE;
      TraceDatabase("Warning: Concurrency changed by driver.\n");
      TraceDatabase("\tMarking CRecordset as not updatable.\n");
    }
  }
}

void CRecordset::DescribeColumns() {
  SQLSMALLINT count = 0;
  RETCODE rc = CallUntilDone([&] { return SQLNumResultCols(m_hstmt, &count); });
  if (!CheckResult(rc)) {
    TraceDatabase("Error: Can't get field info.\n");
    RaiseError(rc);
  }
  m_nResultColumns = count;
  if (count <= 0) return;

  m_pColumnInfo = NewZeroedArray<ColumnDescription>(static_cast<std::size_t>(count));
  for (SQLSMALLINT n = 1; n <= count; ++n) {
    ColumnDescription& column = m_pColumnInfo[n - 1];
    char16_t* name = column.m_strColumnName.GetBufferSetLength(kColumnNameChars + 1);
    SQLSMALLINT nameChars = 0;
    SQLULEN columnSize = 0;
    rc = CallUntilDone([&] {
      return SQLDescribeColW(m_hstmt, static_cast<SQLUSMALLINT>(n),
                             reinterpret_cast<SQLWCHAR*>(name), kColumnNameChars, &nameChars,
                             &column.m_nDataType, &columnSize, &column.m_nDecimalDigits,
                             &column.m_nNullable);
    });

    // The name is closed at its reported length. A name longer than the buffer is reported
    // with its full length although the driver wrote only what fits (and its terminator): it is
    // then kept as far as it was written, never beyond its 256 characters.
    name[kColumnNameChars] = u'\0';
    const int written = static_cast<int>(std::char_traits<char16_t>::length(name));
    column.m_strColumnName.ReleaseBuffer(nameChars >= 0 && nameChars <= written ? nameChars
                                                                                : written);
    column.m_nColumnSize =
        static_cast<DWORD>(std::min<SQLULEN>(columnSize, static_cast<SQLULEN>(0xFFFFFFFFu)));

    if (!CheckResult(rc)) {
      TraceDatabase("Error: ODBC failure getting field #%d info.\n", n);
      RaiseError(rc);
    }
  }
}

void CRecordset::SetUpRowStatus() {
  if (m_dwOpenOptions & multiRowFetch) {
    SetRowsPerFetch(m_dwRowsPerFetch);
    return;
  }
  m_pRowStatus = NewZeroedArray<WORD>(1);
  m_dwRowsPerFetch = 1;
}

void CRecordset::AllocateFieldState() {
  try {
    if (m_nFields > 0) {
      if (m_pBoundFieldInfo == nullptr) m_pBoundFieldInfo = NewZeroedArray<BoundFieldInfo>(m_nFields);
      if (m_pFieldState == nullptr) m_pFieldState = NewZeroedArray<BYTE>(m_nFields);
    }
    if (m_nParams > 0) {
      if (m_pParamState == nullptr) m_pParamState = NewZeroedArray<BYTE>(m_nParams);
      if (m_pParamLengths == nullptr) m_pParamLengths = NewZeroedArray<LONG>(m_nParams);
    }
  } catch (CException*) {
    try {
      Close();
    } catch (CException* closeError) {
      closeError->Delete();
    }
    throw;
  }
}
