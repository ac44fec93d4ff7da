#include "db/recordset.h"

#include <new>

#include "db/not_built.h"
#include "framework/dump_context.h"
#include "framework/trace.h"

DRAVON_IMPLEMENT_CLASS(CRecordset, CObject)

namespace {

// A heap error object for a decision taken after reading the diagnostics; no memory raises the
// framework's memory error instead.
CDBException* NewDatabaseError(RETCODE rc) {
  try {
    return new CDBException(rc);
  } catch (const std::bad_alloc&) {
    ThrowMemoryException();
  }
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
  }
}

// A statement that was allocated but never executed makes the driver manager answer
// SQLNumResultCols with a function sequence error (S1010): such a recordset is not open.
BOOL CRecordset::IsOpen() {
  if (m_hstmt == SQL_NULL_HSTMT) return FALSE;
  if (m_lOpen == 1) return TRUE;

  SQLSMALLINT columns = 0;
  RETCODE rc;
  do {
    rc = SQLNumResultCols(m_hstmt, &columns);
  } while (rc == SQL_STILL_EXECUTING);
  if (CheckResult(rc)) return columns != 0 ? TRUE : FALSE;

  CDBException* error = NewDatabaseError(rc);
  try {
    error->AppendDiagnostics(m_pDatabase, m_hstmt, FALSE);
  } catch (CException*) {
    error->Delete();
    throw;
  }
  if (error->HasState(u"State:S1010")) {
    error->Delete();
    return FALSE;
  }
  TraceDatabase("Error: SQLNumResultCols failed during IsOpen().\n");
  error->TraceText(error->m_strErrorText);
  error->TraceText(error->m_strStateInfo);
  throw error;
}

void CRecordset::AssertValid() const { CObject::AssertValid(); }
void CRecordset::Dump(CDumpContext& dc) const { CObject::Dump(dc); }
void CRecordset::SetRowsPerFetch(DWORD) { NotBuilt("CRecordset::SetRowsPerFetch"); }
void CRecordset::AddNew() { NotBuilt("CRecordset::AddNew"); }
void CRecordset::Edit() { NotBuilt("CRecordset::Edit"); }
BOOL CRecordset::UpdateRecord() { NotBuilt("CRecordset::UpdateRecord"); }
void CRecordset::DeleteRecord() { NotBuilt("CRecordset::DeleteRecord"); }
BOOL CRecordset::Requery() { NotBuilt("CRecordset::Requery"); }
CString CRecordset::DefaultConnectString() { return CString(u"ODBC;"); }
CString CRecordset::DefaultStatementText() { return CString(); }
void CRecordset::ApplyUpdateStatementOptions(HSTMT) {
  NotBuilt("CRecordset::ApplyUpdateStatementOptions");
}
void CRecordset::ExchangeFields(CFieldExchange*) {}
void CRecordset::ExchangeFieldsInBulk(CFieldExchange*) {
  NotBuilt("CRecordset::ExchangeFieldsInBulk");
}
void CRecordset::BeforeBindFields() {}
DWORD CRecordset::NextLongFetchSize(DWORD size) { return size * 2; }
DWORD CRecordset::NextLongBufferSize(DWORD size) { return size * 2; }
