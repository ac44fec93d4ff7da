// Column values of the current row, read as UTF-16 text with SQLGetData.
#include <algorithm>
#include <climits>

#include "db/recordset.h"
#include "framework/trace.h"

namespace {

// The largest text a read may ask for: its length in bytes and with a terminator must still
// fit the lengths ODBC and CString work with.
constexpr long kMaxTextChars = 0x7FFFFFFE / 2;

bool IsLongType(short sqlType) {
  return sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR ||
         sqlType == SQL_LONGVARBINARY;
}

RETCODE GetData(HSTMT hstmt, short column, short cType, void* buffer, SQLLEN bufferBytes,
                SQLLEN* indicator) {
  RETCODE rc;
  do {
    rc = SQLGetData(hstmt, static_cast<SQLUSMALLINT>(column), cType, buffer, bufferBytes,
                    indicator);
  } while (rc == SQL_STILL_EXECUTING);
  return rc;
}

[[noreturn]] void RaiseReadFailure(RETCODE rc, CDatabase* pDatabase, HSTMT hstmt, short column) {
  TraceDatabase("Error: GetFieldValue operation failed on field %d.\n", column - 1);
  RaiseDatabaseError(rc, pDatabase, hstmt);
}

}  // namespace

void CRecordset::GetFieldValue(short nIndex, CString& strValue) {
  if (m_nResultColumns <= 0) return;

  // The column number is computed in 16 bits: index 32767 wraps below 1.
  const auto column = static_cast<short>(nIndex + 1);
  if (column < 1 || column > m_nResultColumns) RaiseError(dbErrorNoSuchField);

  const ColumnDescription& description = m_pColumnInfo[column - 1];
  const long bufferChars = TextBufferLength(description.m_nDataType, description.m_nColumnSize);
  if (bufferChars > kMaxTextChars) ThrowMemoryException();

  char16_t* target = strValue.GetBufferSetLength(static_cast<int>(bufferChars));
  const SQLLEN indicator = ReadColumn(m_pDatabase, m_hstmt, column, SQL_C_WCHAR, target,
                                      2 * static_cast<SQLLEN>(bufferChars),
                                      description.m_nDataType);
  if (indicator == SQL_NULL_DATA) {
    strValue.Empty();
    return;
  }
  void* buffer = target;
  ReadRemainingText(m_pDatabase, m_hstmt, column, indicator / 2, &buffer, bufferChars, strValue,
                    description.m_nDataType, SQL_C_WCHAR);
}

long CRecordset::TextBufferLength(short nSQLType, DWORD nColumnSize) {
  const long size = static_cast<long>(nColumnSize);
  switch (nSQLType) {
    case SQL_LONGVARCHAR:
    case SQL_LONGVARBINARY:
      return 1;
    case SQL_WLONGVARCHAR:
      return 2;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
      return size + 3;
    case SQL_INTEGER:
    case SQL_SMALLINT:
      return size + 2;
    default:
      return size + 1;
  }
}

SQLLEN CRecordset::ReadColumn(CDatabase* pDatabase, HSTMT hstmt, short nColumn, short nCType,
                              void* pBuffer, SQLLEN nBufferBytes, short nSQLType) {
  SQLLEN indicator = 0;
  const RETCODE rc = GetData(hstmt, nColumn, nCType, pBuffer, nBufferBytes, &indicator);
  switch (rc) {
    case SQL_SUCCESS:
      return indicator;
    case SQL_SUCCESS_WITH_INFO: {
      CDBException info(rc);
      info.AppendDiagnostics(pDatabase, hstmt, FALSE);
      // A long value larger than its first buffer is expected to arrive truncated.
      if (!(IsLongType(nSQLType) && info.HasState(u"State:01004"))) {
        TraceDatabase("Warning: ODBC Success With Info on field %d.\n", nColumn - 1);
        info.TraceText(info.m_strErrorText);
        info.TraceText(info.m_strStateInfo);
      }
      return indicator;
    }
    case SQL_NO_DATA_FOUND:
      TraceDatabase("Error: GetFieldValue operation failed on field %d.\n", nColumn - 1);
      TraceDatabase("\tData already fetched for this field.\n");
      RaiseDatabaseError(SQL_NO_DATA_FOUND, pDatabase, hstmt);
    default:
      RaiseReadFailure(rc, pDatabase, hstmt, nColumn);
  }
}

void CRecordset::ReadRemainingText(CDatabase* pDatabase, HSTMT hstmt, short nColumn,
                                   SQLLEN nValueChars, void** ppBuffer, long nBufferChars,
                                   CString& strValue, short nSQLType, short nCType) {
  if (nValueChars < 0) {
    // The driver did not tell the length (SQL_NO_TOTAL): keep what the first read delivered,
    // up to its terminator.
    strValue.ReleaseBuffer();
    return;
  }
  if (nValueChars < nBufferChars) {
    strValue.ReleaseBuffer(static_cast<int>(nValueChars));
    return;
  }
  const long firstChars = nBufferChars - 1;
  if (!IsLongType(nSQLType)) {
    // The read was cut to its buffer; ReadColumn has traced the driver's warning.
    strValue.ReleaseBuffer(static_cast<int>(firstChars));
    return;
  }

  if (nValueChars > 0x7FFFFFFE || nValueChars > kMaxTextChars) ThrowMemoryException();
  if (ppBuffer == nullptr) ThrowInvalidArgException();

  // Grow the text to the whole value; the first read's characters stay, and the rest is read
  // to where its terminator stood.
  char16_t* text = strValue.GetBufferSetLength(static_cast<int>(nValueChars) + 1);
  *ppBuffer = text + firstChars;
  const SQLLEN restChars = nValueChars + 1 - firstChars;

  SQLLEN indicator = 0;
  const RETCODE rc = GetData(hstmt, nColumn, nCType, *ppBuffer, 2 * restChars, &indicator);
  if (rc == SQL_SUCCESS_WITH_INFO) {
    TraceDatabase("Warning: ODBC Success With Info on field %d.\n", nColumn - 1);
    CDBException info(rc);
    info.AppendDiagnostics(pDatabase, hstmt, TRUE);
  } else if (rc != SQL_SUCCESS) {
    RaiseReadFailure(rc, pDatabase, hstmt, nColumn);
  }

  // The text never grows beyond the length the first read announced, whatever the second
  // read reports.
  SQLLEN length = indicator < 0 ? static_cast<SQLLEN>(std::char_traits<char16_t>::length(text))
                                : firstChars + indicator / 2;
  length = std::clamp<SQLLEN>(length, firstChars, nValueChars);
  strValue.ReleaseBuffer(static_cast<int>(length));
}
