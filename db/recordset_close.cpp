// Closing a recordset: the row buffers and the statements are released, the recordset leaves
// its connection's list and returns to the closed state. The destructor closes a recordset that
// is still open and deletes a connection the recordset created for itself.
//
// Storage owned by a recordset, as it is released here:
//   m_pRowStatus, m_pBoundFieldInfo, m_pColumnInfo, m_pFieldState, m_pParamState,
//   m_pParamLengths                       arrays allocated with new[]
//   m_pBoundFieldInfo[i].m_pValueCopy     a CString allocated with new (first move)
//   m_pFieldBuffers, m_pParamBuffers      arrays of pointers allocated with new[], each entry a
//                                         BYTE array allocated with new[] (or null)
#include "db/recordset.h"
#include "framework/trace.h"

namespace {

void FreeValueCopies(BoundFieldInfo* fields, DWORD count) {
  for (DWORD i = 0; i < count; ++i) {
    delete static_cast<CString*>(fields[i].m_pValueCopy);
    fields[i].m_pValueCopy = nullptr;
  }
}

void FreeBuffers(void**& buffers, DWORD& count) {
  if (buffers == nullptr) return;
  for (DWORD i = 0; i < count; ++i) delete[] static_cast<BYTE*>(buffers[i]);
  delete[] buffers;
  buffers = nullptr;
  count = 0;
}

template <class T>
void FreeArray(T*& array) {
  delete[] array;
  array = nullptr;
}

// Steps 3 to 8 of Close, without the multi-row buffers (which need the field exchange).
void FreeRowStorage(CRecordset& rs) {
  if (rs.m_pBoundFieldInfo != nullptr && rs.m_nFields > 0 && rs.m_bDirtyFieldCheck) {
    FreeValueCopies(rs.m_pBoundFieldInfo, rs.m_nFields);
  }
  FreeArray(rs.m_pRowStatus);
}

void FreeFieldStorage(CRecordset& rs) {
  rs.m_nEditMode = CRecordset::noMode;
  FreeArray(rs.m_pBoundFieldInfo);
  FreeArray(rs.m_pColumnInfo);
  FreeArray(rs.m_pFieldState);
  FreeArray(rs.m_pParamState);
  FreeBuffers(rs.m_pFieldBuffers, rs.m_nFieldBuffers);
  FreeBuffers(rs.m_pParamBuffers, rs.m_nParamBuffers);
  FreeArray(rs.m_pParamLengths);
}

// Drops both statements; the driver's answers are not looked at.
void DropStatements(CRecordset& rs) {
  if (rs.m_hstmt != SQL_NULL_HSTMT) {
    SQLFreeStmt(rs.m_hstmt, SQL_DROP);
    rs.m_hstmt = SQL_NULL_HSTMT;
  }
  if (rs.m_hstmtUpdate != SQL_NULL_HSTMT) {
    SQLFreeStmt(rs.m_hstmtUpdate, SQL_DROP);
    rs.m_hstmtUpdate = SQL_NULL_HSTMT;
  }
}

// Takes the recordset off its connection's list; FALSE when it was not there.
bool LeaveConnectionList(CRecordset& rs) {
  DatabaseLock lock;
  CPtrList& list = rs.m_pDatabase->m_listRecordsets;
  CPtrList::POSITION position = list.Find(&rs);
  if (position == list.End()) return false;
  list.RemoveAt(position);
  return true;
}

}  // namespace

void CRecordset::Close() {
  AssertValid();
  if (m_pDatabase == nullptr) ThrowInvalidArgException();

  m_strCursorName.Empty();
  FreeRowStorage(*this);
  if ((m_dwOpenOptions & multiRowFetch) && !(m_dwOpenOptions & callerRowBuffers) &&
      m_dwBulkRowsAllocated != 0) {
    CFieldExchange fx(CFieldExchange::FreeBuffers, this);
    ExchangeFieldsInBulk(&fx);
  }
  m_dwBulkRowsAllocated = 0;
  FreeFieldStorage(*this);
  DropStatements(*this);

  if (!LeaveConnectionList(*this)) {
    TraceDatabase("WARNING: CRecordset not found in m_pDatabase->m_listRecordsets.\n");
  }

  m_lOpen = 0;
  m_bBOF = TRUE;
  m_bEOF = TRUE;
  m_bDeleted = FALSE;
  m_bAppendable = FALSE;
  m_bUpdatable = FALSE;
  m_bScrollable = FALSE;
  m_bParamsNeedRebind = FALSE;
  m_bHasLongBinary = FALSE;
  m_bLockMode = lockOnUpdate;
  m_nFieldsBound = 0;
  m_nResultColumns = -1;
}

CRecordset::~CRecordset() {
  try {
    if (m_hstmt != SQL_NULL_HSTMT) {
      if (m_dwOpenOptions & multiRowFetch) {
        TraceDatabase("\nWARNING: Close called implicitly from destructor.");
        TraceDatabase("\nUse of multi row fetch requires explicit call");
        TraceDatabase("\nto Close or memory leaks will result.\n");
      }
      CRecordset::Close();
    }
    if (m_bRecordsetDb) delete m_pDatabase;
    m_pDatabase = nullptr;
  } catch (CException* e) {
    TraceDatabase("Error: Exception ignored in ~CRecordset().\n");
    e->Delete();

    // A close that failed part way must not leave this object on its connection's list, where
    // the connection's own Close would reach it after it is gone, nor leave its statements and
    // buffers behind.
    FreeRowStorage(*this);
    FreeFieldStorage(*this);
    DropStatements(*this);
    if (m_pDatabase != nullptr) {
      LeaveConnectionList(*this);
      if (m_bRecordsetDb) delete m_pDatabase;
      m_pDatabase = nullptr;
    }
  }
}
