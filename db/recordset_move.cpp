// Moving between the rows of an open recordset. Every positioning request goes through
// MoveRows: the first move after an open binds the fields and resets the position, the
// request is validated, one fetch is made and judged, and the position members follow the
// driver's cursor.
//
// The position: m_lCurrentRow is the zero-based index of the current row (-1 before the first
// row, -2 when it is not known), m_lRowsKnown the highest index reached plus one, and
// m_bLastRowKnown tells that a forward move ran off the end right after that row, so that
// m_lRowsKnown is the exact row count. m_bBOF and m_bEOF tell that the cursor stands before the
// first or after the last row; both are set on an empty result.
#include <cstring>
#include <limits>

#include "db/recordset.h"
#include "db/still_executing.h"
#include "framework/trace.h"

namespace {

// Longest count of fields a recordset binds.
constexpr DWORD kMaxBoundFields = 255;

// A row index moved by `offset`. An index that cannot be held (or whose row count could not
// be) is not known.
LONG OffsetRow(LONG row, long long offset) {
  const long long moved = static_cast<long long>(row) + offset;
  if (moved >= std::numeric_limits<LONG>::max() || moved < std::numeric_limits<LONG>::min()) {
    return -2;
  }
  return static_cast<LONG>(moved);
}

bool IsSkippableOrientation(WORD wFetchType) {
  switch (wFetchType) {
    case SQL_FETCH_NEXT:
    case SQL_FETCH_FIRST:
    case SQL_FETCH_LAST:
    case SQL_FETCH_PRIOR:
    case SQL_FETCH_RELATIVE:
      return true;
    default:
      return false;
  }
}

// Allocates the storage that keeps each bound field's value for the detection of changes.
void AllocateValueCopies(CRecordset& rs) {
  if (rs.m_pBoundFieldInfo == nullptr) return;
  for (DWORD i = 0; i < rs.m_nFields; ++i) {
    if (rs.m_pBoundFieldInfo[i].m_pValueCopy != nullptr) continue;
    try {
      rs.m_pBoundFieldInfo[i].m_pValueCopy = new CString();
    } catch (const std::bad_alloc&) {
      ThrowMemoryException();
    }
  }
}

// The first move after an open: bind the fields and start the position anew.
void BindFieldsAndResetPosition(CRecordset& rs) {
  if (rs.m_nFields != 0) {
    CFieldExchange fx(CFieldExchange::BindFieldToColumn, &rs);
    if (rs.m_dwOpenOptions & CRecordset::multiRowFetch) {
      rs.ExchangeFieldsInBulk(&fx);
    } else {
      rs.ExchangeFields(&fx);
    }
    // The per-field storage has m_nFields entries: a field exchange that binds another count
    // would index past it.
    if (fx.m_nFields != rs.m_nFields || fx.m_nFields > kMaxBoundFields) {
      ThrowInvalidArgException();
    }
    rs.m_nFieldsBound = static_cast<LONG>(fx.m_nFields);
    if (rs.m_bDirtyFieldCheck) AllocateValueCopies(rs);
  } else {
    rs.m_nFieldsBound = -1;
  }

  rs.m_bEOF = FALSE;
  rs.m_bBOF = FALSE;
  rs.m_bLastRowKnown = FALSE;
  rs.m_bDeleted = FALSE;
  rs.m_lCurrentRow = -1;
  rs.m_lRowsKnown = 0;
}

// Moves are made only on an open recordset.
void RequireOpen(CRecordset& rs) {
  if (!rs.IsOpen()) ThrowInvalidArgException();
}

}  // namespace

void CRecordset::MoveNext() {
  RequireOpen(*this);
  MoveRows(1, SQL_FETCH_NEXT);
}

void CRecordset::MovePrev() {
  RequireOpen(*this);
  MoveRows(-1, SQL_FETCH_PRIOR);
}

void CRecordset::MoveFirst() {
  RequireOpen(*this);
  MoveRows(1, SQL_FETCH_FIRST);
}

void CRecordset::MoveLast() {
  RequireOpen(*this);
  MoveRows(-1, SQL_FETCH_LAST);
}

void CRecordset::SetAbsolutePosition(LONG position) {
  RequireOpen(*this);
  MoveRows(position, SQL_FETCH_ABSOLUTE);
}

void CRecordset::MoveRows(LONG nRows, WORD wFetchType) {
  AssertValid();
  if (m_hstmt == SQL_NULL_HSTMT) ThrowInvalidArgException();

  if (m_nFieldsBound == 0) BindFieldsAndResetPosition(*this);

  // Moving drops a pending edit.
  if (m_nFieldsBound > 0) {
    if (m_pFieldState != nullptr) std::memset(m_pFieldState, 0, m_nFields);
    m_nEditMode = noMode;
  }

  ValidateMove(wFetchType, nRows);

  RETCODE rc;
  if (IsSkippableOrientation(wFetchType) && (m_dwOpenOptions & skipDeletedRows)) {
    FetchSkippingDeleted(wFetchType, nRows, &m_dwFetchedRows, &rc);
  } else {
    rc = FetchRows(wFetchType, nRows, &m_dwFetchedRows);
  }

  UpdateCursorState(rc, wFetchType, nRows, m_dwFetchedRows);

  if (m_nFields > 0 && !m_bEOF && !m_bBOF && !(m_dwOpenOptions & multiRowFetch)) {
    CFieldExchange fx(CFieldExchange::Fixup, this);
    ExchangeFields(&fx);
  }
}

void CRecordset::ValidateMove(WORD wFetchType, LONG nRows) {
  if (!m_bScrollable && wFetchType != SQL_FETCH_NEXT) {
    TraceDatabase("Error: forward-only recordsets only support MoveNext.\n");
    RaiseError(dbErrorForwardOnlyMove);
  }
  if (m_bEOF && m_bBOF) {
    TraceDatabase("Error: attempted to position cursor on empty recordset.\n");
    RaiseError(dbErrorMoveOutOfRange);
  }
  if (m_nOpenType != dynamicCursor) {
    const bool forward =
        wFetchType == SQL_FETCH_NEXT || (wFetchType == SQL_FETCH_RELATIVE && nRows > 0);
    const bool backward =
        wFetchType == SQL_FETCH_PRIOR || (wFetchType == SQL_FETCH_RELATIVE && nRows < 0);
    if (m_bEOF && forward) {
      TraceDatabase("Error: attempted to move past EOF.\n");
      RaiseError(dbErrorMoveOutOfRange);
    }
    if (m_bBOF && backward) {
      TraceDatabase("Error: attempted to move before BOF.\n");
      RaiseError(dbErrorMoveOutOfRange);
    }
  }
}

RETCODE CRecordset::FetchRows(WORD wFetchType, LONG nRows, DWORD* pdwFetchedRows) {
  RETCODE rc;
  if (m_nOpenType == forwardOnly && !(m_dwOpenOptions & extendedFetch)) {
    // SQLFetch can only go forward.
    if (wFetchType != SQL_FETCH_NEXT) ThrowInvalidArgException();
    rc = CallUntilDone([&] { return SQLFetch(m_hstmt); });
    if (pdwFetchedRows == nullptr) ThrowInvalidArgException();
    *pdwFetchedRows = 1;
    m_bDeleted = FALSE;
  } else {
    // The driver writes a 64-bit count; the member keeps 32 bits. What the driver leaves
    // unwritten keeps its value.
    SQLULEN fetched = pdwFetchedRows != nullptr ? *pdwFetchedRows : 0;
    rc = CallUntilDone([&] {
      return SQLExtendedFetch(m_hstmt, wFetchType, nRows,
                              pdwFetchedRows != nullptr ? &fetched : nullptr, m_pRowStatus);
    });
    if (pdwFetchedRows != nullptr) *pdwFetchedRows = static_cast<DWORD>(fetched);
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO) {
      m_bDeleted = m_pRowStatus != nullptr && m_pRowStatus[0] == SQL_ROW_DELETED;
    }
  }

  CheckFetchResult(rc);
  return rc;
}

void CRecordset::FetchSkippingDeleted(WORD wFetchType, LONG nRows, DWORD* pdwFetchedRows,
                                      RETCODE* pnRetCode) {
  auto onDeletedRow = [this] {
    return m_pRowStatus != nullptr && m_pRowStatus[0] == SQL_ROW_DELETED;
  };

  if (wFetchType == SQL_FETCH_RELATIVE) {
    if (nRows == 0) {
      // Nothing to step over: the current row is fetched again.
      *pnRetCode = FetchRows(wFetchType, nRows, pdwFetchedRows);
      return;
    }
    const WORD step = nRows > 0 ? SQL_FETCH_NEXT : SQL_FETCH_PRIOR;
    long long remaining = nRows > 0 ? static_cast<long long>(nRows)
                                    : -static_cast<long long>(nRows);
    do {
      *pnRetCode = FetchRows(step, 1, pdwFetchedRows);
      if (*pnRetCode == SQL_NO_DATA_FOUND) return;
      if (!onDeletedRow()) --remaining;
    } while (remaining > 0);
    return;
  }

  const WORD step =
      (wFetchType == SQL_FETCH_NEXT || wFetchType == SQL_FETCH_FIRST) ? SQL_FETCH_NEXT
                                                                     : SQL_FETCH_PRIOR;
  *pnRetCode = FetchRows(wFetchType, 1, pdwFetchedRows);
  while (*pnRetCode != SQL_NO_DATA_FOUND && onDeletedRow()) {
    *pnRetCode = FetchRows(step, 1, pdwFetchedRows);
  }
}

void CRecordset::CheckFetchResult(RETCODE nRetCode) {
  if (nRetCode == SQL_SUCCESS_WITH_INFO) {
    CDBException info(nRetCode);
    info.AppendDiagnostics(m_pDatabase, m_hstmt, FALSE);

    if (info.HasState(u"State:01004")) {
      if (m_pDatabase == nullptr) ThrowInvalidArgException();
      // A bound long binary value is read in pieces, and truncation is then expected.
      if ((m_pDatabase->m_dwUpdateCapabilities & CDatabase::kCanSetPos) && m_bHasLongBinary) {
        return;
      }
      TraceDatabase("Error: field data truncated during data fetch.\n");
      RaiseError(dbErrorFieldDataTruncated);
    }
    if (info.HasState(u"State:01S01")) {
      TraceDatabase("Error: fetching row from server.\n");
      info.TraceText(info.m_strErrorText);
      info.TraceText(info.m_strStateInfo);
      RaiseError(dbErrorRowFetchFailed);
    }
    TraceDatabase("Warning: ODBC Success With Info,\n");
    info.TraceText(info.m_strErrorText);
    info.TraceText(info.m_strStateInfo);
    return;
  }

  if (!CheckResult(nRetCode)) RaiseError(nRetCode);
}

void CRecordset::UpdateCursorState(RETCODE nRetCode, WORD wFetchType, LONG nRows,
                                   DWORD /*dwFetchedRows*/) {
  const bool noData = nRetCode == SQL_NO_DATA_FOUND;
  const long long direction = PlaceCurrentRow(noData, wFetchType, nRows);
  SetEndFlags(noData, wFetchType, direction);
}

void CRecordset::StepCurrentRow(bool noData, long long rows) {
  if (m_lCurrentRow != -2 && !noData) m_lCurrentRow = OffsetRow(m_lCurrentRow, rows);
}

void CRecordset::CountRowReached(bool noData) {
  if (noData || m_bLastRowKnown || m_lCurrentRow == -2) return;
  const long long reached = static_cast<long long>(m_lCurrentRow) + 1;
  if (reached > m_lRowsKnown && reached <= std::numeric_limits<LONG>::max()) {
    m_lRowsKnown = static_cast<LONG>(reached);
  }
}

long long CRecordset::PlaceCurrentRow(bool noData, WORD wFetchType, LONG nRows) {
  // Before the start (a backward move found no row), a forward move counts from the start: the
  // driver then stands on the first row it moves to, whatever index the cursor held before.
  const bool beforeStart = m_bBOF && !m_bEOF;
  switch (wFetchType) {
    case SQL_FETCH_NEXT:
      if (beforeStart && !noData) m_lCurrentRow = -1;
      StepCurrentRow(noData, nRows);
      CountRowReached(noData);
      if (!m_bLastRowKnown && noData &&
          m_lRowsKnown == static_cast<long long>(m_lCurrentRow) + 1) {
        m_bLastRowKnown = TRUE;
      }
      return 1;
    case SQL_FETCH_FIRST:
    case SQL_FETCH_LAST:
      if (noData) {
        m_lCurrentRow = -2;
        m_lRowsKnown = 0;
      } else if (wFetchType == SQL_FETCH_FIRST) {
        m_lCurrentRow = 0;
      } else {
        m_lCurrentRow = m_bLastRowKnown ? m_lRowsKnown - 1 : -2;
      }
      return wFetchType == SQL_FETCH_FIRST ? 1 : -1;
    case SQL_FETCH_PRIOR:
      if (!m_bEOF) StepCurrentRow(noData, nRows);
      return -1;
    case SQL_FETCH_ABSOLUTE:
      if (noData) {
        m_lCurrentRow = -2;
      } else if (nRows > 0) {
        m_lCurrentRow = nRows - 1;
      } else if (m_bLastRowKnown) {
        m_lCurrentRow = OffsetRow(m_lRowsKnown, nRows);
      } else {
        m_lCurrentRow = -2;
      }
      CountRowReached(noData);
      return nRows;
    case SQL_FETCH_RELATIVE:
      if (beforeStart && !noData && nRows > 0) m_lCurrentRow = -1;
      StepCurrentRow(noData, nRows);
      CountRowReached(noData);
      return nRows;
    case SQL_FETCH_BOOKMARK:
      m_lCurrentRow = -2;
      return 0;
    default:
      return 0;
  }
}

void CRecordset::SetEndFlags(bool noData, WORD wFetchType, long long direction) {
  if (!noData) {
    m_bBOF = FALSE;
    m_bEOF = FALSE;
  } else if (wFetchType == SQL_FETCH_FIRST || wFetchType == SQL_FETCH_LAST ||
             wFetchType == SQL_FETCH_BOOKMARK) {
    // An absolute move to an end that finds nothing: the result is empty.
    m_bBOF = TRUE;
    m_bEOF = TRUE;
  } else {
    // The move that found no row went past the end it was heading for.
    m_bEOF = direction >= 0;
    m_bBOF = !m_bEOF;
  }
}

BOOL CRecordset::IsEOF() const { return m_bEOF; }
BOOL CRecordset::IsBOF() const { return m_bBOF; }
BOOL CRecordset::IsDeleted() const { return m_bDeleted; }
std::int16_t CRecordset::GetResultColumnCount() const { return m_nResultColumns; }
LONG CRecordset::GetRowsKnown() const { return m_lRowsKnown; }
CursorPosition CRecordset::GetCursorPosition() const { return {m_lCurrentRow, m_bLastRowKnown}; }
DWORD CRecordset::GetFetchedRowCount() const { return m_dwFetchedRows; }
DWORD CRecordset::GetRowsPerFetch() const { return m_dwRowsPerFetch; }

WORD CRecordset::GetRowStatus(WORD row) const {
  // The status array has one entry per row of a fetch.
  if (m_pRowStatus == nullptr || row < 1 || row > m_dwRowsPerFetch) ThrowInvalidArgException();
  return m_pRowStatus[row - 1];
}
