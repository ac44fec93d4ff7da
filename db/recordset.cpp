#include "db/recordset.h"
#include "db/still_executing.h"

#include <new>

#include "framework/dump_context.h"
#include "framework/trace.h"

DRAVON_IMPLEMENT_CLASS(CRecordset, CObject)

namespace {

// A row is current when the cursor stands on one that is not deleted.
bool HasCurrentRecord(const CRecordset& recordset) {
  return !recordset.m_bEOF && !recordset.m_bBOF && !recordset.m_bDeleted;
}

}  // namespace

// Members that only the open path writes start from defined values: positioned nowhere, at
// both ends, with a read-only concurrency.
CRecordset::CRecordset(CDatabase* database)
    : m_hstmt(SQL_NULL_HSTMT),
      m_pDatabase(database),
      m_nFields(0),
      m_nParams(0),
      m_bDirtyFieldCheck(TRUE),
      m_bParamsNeedRebind(FALSE),
      m_bHasLongBinary(FALSE),
      m_bPositionedUpdates(FALSE),
      m_dwOpenOptions(none),
      m_nResultColumns(-1),
      m_bCursorLibrary(FALSE),
      m_pColumnInfo(nullptr),
      m_pBoundFieldInfo(nullptr),
      m_mapFieldPositions(10),
      m_mapParamPositions(10),
      m_pFieldBuffers(nullptr),
      m_pParamBuffers(nullptr),
      m_nFieldBuffers(0),
      m_nParamBuffers(0),
      m_nOpenType(staticCursor),
      m_nDefaultOpenType(staticCursor),
      m_lOpen(-1),
      m_nEditMode(noMode),
      m_bLastRowKnown(FALSE),
      m_lRowsKnown(0),
      m_lCurrentRow(-2),
      m_bLockMode(lockOnUpdate),
      m_dwScrollConcurrency(0),
      m_dwConcurrencyModel(SQL_CONCUR_READ_ONLY),
      m_pRowStatus(nullptr),
      m_dwFetchedRows(0),
      m_hstmtUpdate(SQL_NULL_HSTMT),
      m_bRecordsetDb(FALSE),
      m_bBOF(TRUE),
      m_bEOF(TRUE),
      m_bUpdatable(FALSE),
      m_bAppendable(FALSE),
      m_bScrollable(FALSE),
      m_bDeleted(FALSE),
      m_nFieldsBound(0),
      m_pFieldState(nullptr),
      m_pParamState(nullptr),
      m_pParamLengths(nullptr),
      m_dwFirstReadLength(0),
      m_dwRowsPerFetch(25),
      m_dwBulkRowsAllocated(0) {
  m_hstmt = SQL_NULL_HSTMT;
  if (m_pDatabase == nullptr || !m_pDatabase->IsOpen()) return;

  // A statement that cannot be allocated now is allocated again by Open.
  try {
    RETCODE rc = SQLAllocStmt(m_pDatabase->m_hdbc, &m_hstmt);
    if (!CheckResult(rc)) {
      m_hstmt = SQL_NULL_HSTMT;
      RaiseError(SQL_INVALID_HANDLE);
    }
    DatabaseLock lock;
    m_pDatabase->m_listRecordsets.AddHead(this);
  } catch (CException* e) {
    e->Delete();
    // A statement that could not be registered is dropped, and the connection forgotten: the
    // connection would not close the statement, and it may be gone before this recordset.
    if (m_hstmt != SQL_NULL_HSTMT) {
      SQLFreeStmt(m_hstmt, SQL_DROP);
      m_hstmt = SQL_NULL_HSTMT;
      m_pDatabase = nullptr;
    }
  }
}

// A statement that was allocated but never executed makes the driver manager answer
// SQLNumResultCols with a function sequence error (S1010): such a recordset is not open.
BOOL CRecordset::IsOpen() {
  if (m_hstmt == SQL_NULL_HSTMT) return FALSE;
  if (m_lOpen == 1) return TRUE;

  SQLSMALLINT columns = 0;
  const RETCODE rc = CallUntilDone([&] { return SQLNumResultCols(m_hstmt, &columns); });
  if (CheckResult(rc)) return columns != 0 ? TRUE : FALSE;

  CDBException* error = NewDatabaseError(rc, m_pDatabase, m_hstmt, FALSE);
  if (error->HasState(u"State:S1010")) {
    error->Delete();
    return FALSE;
  }
  TraceDatabase("Error: SQLNumResultCols failed during IsOpen().\n");
  error->TraceText(error->m_strErrorText);
  error->TraceText(error->m_strStateInfo);
  throw error;
}

void CRecordset::AssertValid() const {
  CObject::AssertValid();
  if (m_pDatabase != nullptr) m_pDatabase->AssertValid();
}

void CRecordset::Dump(CDumpContext& dc) const {
  CObject::Dump(dc);
  dc << "m_hstmt = " << static_cast<const void*>(m_hstmt);
  dc << "\nm_strSQL = " << m_strSQL;
  dc << "\nm_strWhereClause = " << m_strWhereClause;
  dc << "\nm_strOrderByClause = " << m_strOrderByClause;
  dc << "\nm_strFromTable = " << m_strFromTable;
  dc << "\nm_nOpenType = " << m_nOpenType;
  dc << "\nm_dwOpenOptions = " << m_dwOpenOptions;
  dc << "\nm_lOpen = " << static_cast<long>(m_lOpen);
  dc << "\nm_bUpdatable = " << m_bUpdatable;
  dc << "\nm_bAppendable = " << m_bAppendable;
  dc << "\nm_bScrollable = " << m_bScrollable;
  dc << "\nm_nEditMode = " << m_nEditMode;
  dc << "\nm_nFields = " << m_nFields;
  dc << "\nm_nParams = " << m_nParams;
  dc << "\nm_nResultColumns = " << m_nResultColumns;
  dc << "\nm_bBOF = " << m_bBOF;
  dc << "\nm_bEOF = " << m_bEOF;
  dc << "\nm_bDeleted = " << m_bDeleted;
  dc << "\nm_lCurrentRow = " << static_cast<long>(m_lCurrentRow);
  dc << "\nm_lRowsKnown = " << static_cast<long>(m_lRowsKnown);
  dc << "\nm_dwRowsPerFetch = " << m_dwRowsPerFetch;
  dc << "\nm_pDatabase = " << static_cast<const void*>(m_pDatabase);
  dc << "\n";
  if (m_pDatabase != nullptr) {
    dc << "with database:\n";
    m_pDatabase->Dump(dc);
  }
}

// The size of the rowset every fetch delivers. With a statement it becomes the driver's
// SQL_ROWSET_SIZE and the row status array gets one entry per row; without one the size is
// only kept, and Open applies it once the statement exists.
void CRecordset::SetRowsPerFetch(DWORD rows) {
  if (rows == 0) ThrowInvalidArgException();
  if (m_hstmt == SQL_NULL_HSTMT) {
    m_dwRowsPerFetch = rows;
    return;
  }
  RETCODE rc = SQLSetStmtOption(m_hstmt, SQL_ROWSET_SIZE, rows);
  if (!CheckResult(rc)) {
    TraceDatabase("Error: ODBC failure setting rows per fetch.\n");
    RaiseError(rc);
  }
  WORD* status = nullptr;
  try {
    status = new WORD[rows]();
  } catch (const std::bad_alloc&) {
    ThrowMemoryException();
  }
  delete[] m_pRowStatus;
  m_pRowStatus = status;
  m_dwRowsPerFetch = rows;
}

// Editing. The checks decide whether a change may start or end; writing a change to the data
// source takes change statements built from bound fields, which this layer does not build. So
// an update with changed fields and a delete are refused after their checks: nothing is ever
// reported written that was not.

void CRecordset::AddNew() {
  if (!m_bAppendable) {
    TraceDatabase("Error: recordset is not appendable.\n");
    RaiseError(dbErrorReadOnlyRecordset);
  }
  m_nEditMode = addnew;
}

void CRecordset::Edit() {
  if (!m_bUpdatable) {
    TraceDatabase("Error: recordset is read only.\n");
    RaiseError(dbErrorReadOnlyRecordset);
  }
  if (!HasCurrentRecord(*this)) {
    TraceDatabase("Error: Edit attempt failed - not on a record.\n");
    RaiseError(dbErrorNotOnRecord);
  }
  m_nEditMode = edit;
}

BOOL CRecordset::UpdateRecord() {
  if (m_nEditMode != edit && m_nEditMode != addnew) {
    TraceDatabase("Error: must enter Edit or AddNew mode before updating.\n");
    RaiseError(dbErrorEditModeMismatch);
  }
  if (m_nEditMode == edit) {
    if (!m_bUpdatable) {
      TraceDatabase("Error: recordset is read only.\n");
      RaiseError(dbErrorReadOnlyRecordset);
    }
    if (!HasCurrentRecord(*this)) {
      TraceDatabase("Error: Update attempt failed - not on a record.\n");
      RaiseError(dbErrorNotOnRecord);
    }
  } else if (!m_bAppendable) {
    TraceDatabase("Error: recordset is not appendable.\n");
    RaiseError(dbErrorReadOnlyRecordset);
  }

  bool changed = false;
  if (m_pFieldState != nullptr) {
    for (DWORD field = 0; field < m_nFields; ++field) {
      if (m_pFieldState[field] != 0) changed = true;
    }
  }
  if (changed) {
    // The edit stays pending: the caller may move away or close to drop it.
    TraceDatabase("Error: writing changed fields is not supported by this recordset.\n");
    ThrowInvalidArgException();
  }
  // No field changed: there is nothing to write, and the edit ends.
  TraceDatabase("Warning: No fields changed, nothing written.\n");
  m_nEditMode = noMode;
  return FALSE;
}

void CRecordset::DeleteRecord() {
  if (m_nEditMode != noMode) {
    TraceDatabase("Error: attempted to delete while still in Edit or AddNew mode.\n");
    RaiseError(dbErrorEditModeMismatch);
  }
  if (!m_bUpdatable) {
    TraceDatabase("Error: recordset is read only.\n");
    RaiseError(dbErrorReadOnlyRecordset);
  }
  if (!HasCurrentRecord(*this)) {
    TraceDatabase("Error: Delete attempt failed - not on a record.\n");
    RaiseError(dbErrorNotOnRecord);
  }
  TraceDatabase("Error: deleting rows is not supported by this recordset.\n");
  ThrowInvalidArgException();
}

// Executes the statement of the last Open again, with its open type and options, and the
// search condition and sort list in force now. A forwardOnly recordset opened addOnly had
// readOnly added by that Open; it is taken out again so that the new Open accepts the options.
BOOL CRecordset::Requery() {
  if (!IsOpen()) ThrowInvalidArgException();
  const UINT openType = m_nOpenType;
  DWORD options = m_dwOpenOptions;
  if (openType == forwardOnly && (options & addOnly)) options &= ~static_cast<DWORD>(readOnly);
  const CString text = m_strOpenedSQL;
  Close();
  return Open(openType, text.IsEmpty() ? nullptr : text.GetString(), options);
}

CString CRecordset::DefaultConnectString() { return CString(u"ODBC;"); }
CString CRecordset::DefaultStatementText() { return CString(); }
void CRecordset::ApplyUpdateStatementOptions(HSTMT statement) {
  if (statement == SQL_NULL_HSTMT) ThrowInvalidArgException();
}
void CRecordset::ExchangeFields(CFieldExchange*) {}
// A recordset that fetches several rows at once supplies its own multi-row exchange.
void CRecordset::ExchangeFieldsInBulk(CFieldExchange*) { ThrowInvalidArgException(); }
void CRecordset::BeforeBindFields() {}
DWORD CRecordset::NextLongFetchSize(DWORD size) { return size * 2; }
DWORD CRecordset::NextLongBufferSize(DWORD size) { return size * 2; }
