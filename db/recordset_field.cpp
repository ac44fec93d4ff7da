// Column values of the current row, read as UTF-16 text with SQLGetData, or as text in the code
// page from a driver that hands out no wide text.
#include <algorithm>
#include <string>

#include "db/recordset.h"
#include "db/still_executing.h"
#include "text/codepage.h"
#include "framework/trace.h"

namespace {

// The longest text a read may produce, in characters: its length and a terminator must still
// fit CString's int length. A driver that announces more gets a memory error before anything
// of that size is allocated.
constexpr SQLLEN kMaxTextChars = 0x7FFFFFFE;

// A long value whose whole length the driver does not tell is read in pieces of at least this
// many characters, each at least as large as what has been read so far.
constexpr SQLLEN kMinPieceChars = 4096;

bool IsLongType(short sqlType) {
  return sqlType == SQL_LONGVARCHAR || sqlType == SQL_WLONGVARCHAR ||
         sqlType == SQL_LONGVARBINARY;
}

RETCODE GetData(HSTMT hstmt, short column, short cType, void* buffer, SQLLEN bufferBytes,
                SQLLEN* indicator) {
  return CallUntilDone([&] {
    return SQLGetData(hstmt, static_cast<SQLUSMALLINT>(column), cType, buffer, bufferBytes,
                      indicator);
  });
}

[[noreturn]] void RaiseReadFailure(RETCODE rc, CDatabase* pDatabase, HSTMT hstmt, short column) {
  TraceDatabase("Error: GetFieldValue operation failed on field %d.\n", column - 1);
  RaiseDatabaseError(rc, pDatabase, hstmt);
}

// The warning of a read that succeeded with information. A value that does not fit its buffer
// is read on in further pieces, whatever its type, so truncation is expected and not traced.
void TraceReadWarning(CDatabase* pDatabase, HSTMT hstmt, short column) {
  CDBException info(SQL_SUCCESS_WITH_INFO);
  info.AppendDiagnostics(pDatabase, hstmt, FALSE);
  if (info.HasState(u"State:01004")) return;
  TraceDatabase("Warning: ODBC Success With Info on field %d.\n", column - 1);
  info.TraceText(info.m_strErrorText);
  info.TraceText(info.m_strStateInfo);
}

// Reads the rest of a long value whose whole length the first read did not tell (it reported
// SQL_NO_TOTAL): piece after piece into the growing text, from where the text ends, until the
// driver delivers its last piece or has nothing more.
void ReadRestInPieces(CDatabase* pDatabase, HSTMT hstmt, short column, void** ppBuffer,
                      CString& strValue, short cType) {
  if (ppBuffer == nullptr) ThrowInvalidArgException();
  SQLLEN have = strValue.GetLength();
  SQLLEN piece = std::max(have, kMinPieceChars);
  for (;;) {
    piece = std::min(piece, kMaxTextChars - have);
    if (piece <= 0) ThrowMemoryException();
    char16_t* text = strValue.GetBufferSetLength(static_cast<int>(have + piece));
    *ppBuffer = text + have;

    SQLLEN indicator = 0;
    const RETCODE rc = GetData(hstmt, column, cType, *ppBuffer, 2 * (piece + 1), &indicator);
    if (rc == SQL_NO_DATA_FOUND) break;  // the previous piece was the last one
    if (rc == SQL_SUCCESS_WITH_INFO) {
      TraceReadWarning(pDatabase, hstmt, column);
    } else if (rc != SQL_SUCCESS) {
      RaiseReadFailure(rc, pDatabase, hstmt, column);
    }

    if (indicator >= 0) {
      if (indicator / 2 <= piece) {
        have += indicator / 2;  // the last piece, whole
        break;
      }
      // The piece was filled and the driver told what remained before it.
      have += piece;
      if (rc == SQL_SUCCESS) break;
      piece = indicator / 2 - piece;
      continue;
    }
    // No length told again: the piece ends at its terminator, and a piece that did not fill
    // its buffer was the last one.
    const auto delivered = std::min<SQLLEN>(
        static_cast<SQLLEN>(std::char_traits<char16_t>::length(text + have)), piece);
    have += delivered;
    if (rc == SQL_SUCCESS || delivered < piece) break;
    piece *= 2;
  }
  strValue.ReleaseBuffer(static_cast<int>(have));
}

// A driver refuses wide text for a column it can only hand out as 8-bit text (an ANSI driver:
// "Restricted data type attribute violation", or a C type it does not know).
bool RefusesWideText(const CDBException& error) {
  return error.m_nReturnCode == SQL_ERROR &&
         (error.HasState(u"State:07006") || error.HasState(u"State:S1003") ||
          error.HasState(u"State:HY003"));
}

// Reads the column as 8-bit text in the code page, piece after piece until the driver has
// delivered it all, and widens it. `firstBytes` sizes the first piece, as the column's
// description sizes a wide read.
void ReadCodePageText(CDatabase* pDatabase, HSTMT hstmt, short column, SQLLEN firstBytes,
                      CString& strValue) {
  std::string text;
  SQLLEN piece = std::max<SQLLEN>(firstBytes, 2);
  for (bool first = true;; first = false) {
    piece = std::min(piece, kMaxTextChars - static_cast<SQLLEN>(text.size()));
    if (piece <= 1) ThrowMemoryException();
    const std::string::size_type have = text.size();
    text.resize(have + static_cast<std::string::size_type>(piece));

    SQLLEN indicator = 0;
    const RETCODE rc = GetData(hstmt, column, SQL_C_CHAR, text.data() + have, piece, &indicator);
    if (rc == SQL_NO_DATA_FOUND && !first) {
      text.resize(have);  // the previous piece was the last one
      break;
    }
    if (rc == SQL_NO_DATA_FOUND) {
      TraceDatabase("Error: GetFieldValue operation failed on field %d.\n", column - 1);
      TraceDatabase("\tData already fetched for this field.\n");
      RaiseDatabaseError(SQL_NO_DATA_FOUND, pDatabase, hstmt);
    }
    if (rc == SQL_SUCCESS_WITH_INFO) {
      TraceReadWarning(pDatabase, hstmt, column);
    } else if (rc != SQL_SUCCESS) {
      RaiseReadFailure(rc, pDatabase, hstmt, column);
    }
    if (indicator == SQL_NULL_DATA) {
      strValue.Empty();
      return;
    }

    // A piece holds at most its buffer less the terminator; a length the driver does not tell
    // ends at the terminator.
    const SQLLEN room = piece - 1;
    SQLLEN delivered = indicator >= 0 ? std::min(indicator, room)
                                      : static_cast<SQLLEN>(std::char_traits<char>::length(
                                            text.data() + have));
    delivered = std::min(delivered, room);
    text.resize(have + static_cast<std::string::size_type>(delivered));
    const bool filled = indicator >= 0 ? indicator > room : delivered == room;
    if (rc == SQL_SUCCESS || !filled) break;
    piece = indicator >= 0 ? indicator - room + 1 : piece * 2;
  }
  strValue = CString(textconv::WidenFromCodePage(text));
}

}  // namespace

void CRecordset::GetFieldValue(short nIndex, CString& strValue) {
  if (m_nResultColumns <= 0) return;

  // The column number is computed in 16 bits: index 32767 wraps below 1.
  const auto column = static_cast<short>(nIndex + 1);
  if (column < 1 || column > m_nResultColumns) RaiseError(dbErrorNoSuchField);

  const ColumnDescription& description = m_pColumnInfo[column - 1];
  const long bufferChars = TextBufferLength(description.m_nDataType, description.m_nColumnSize);
  // A column size beyond what a text can hold cannot be given a buffer.
  if (bufferChars > kMaxTextChars) ThrowMemoryException();

  char16_t* target = strValue.GetBufferSetLength(static_cast<int>(bufferChars));
  SQLLEN indicator = 0;
  try {
    indicator = ReadColumn(m_pDatabase, m_hstmt, column, SQL_C_WCHAR, target,
                           2 * static_cast<SQLLEN>(bufferChars), description.m_nDataType);
  } catch (CDBException* error) {
    if (!RefusesWideText(*error)) throw;
    // The driver hands out only 8-bit text: that is read instead, in the code page.
    error->Delete();
    TraceDatabase("Warning: field %d read as text in the code page.\n", column - 1);
    ReadCodePageText(m_pDatabase, m_hstmt, column, bufferChars, strValue);
    return;
  }
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
                              void* pBuffer, SQLLEN nBufferBytes, short /*nSQLType*/) {
  SQLLEN indicator = 0;
  const RETCODE rc = GetData(hstmt, nColumn, nCType, pBuffer, nBufferBytes, &indicator);
  switch (rc) {
    case SQL_SUCCESS:
      return indicator;
    case SQL_SUCCESS_WITH_INFO:
      // A truncated value is not an error here: the caller reads the rest.
      TraceReadWarning(pDatabase, hstmt, nColumn);
      return indicator;
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
    // up to its terminator, and read the rest in pieces: always for a long value, and for a
    // value of another type when it filled its buffer.
    strValue.ReleaseBuffer();
    if (IsLongType(nSQLType) || strValue.GetLength() >= nBufferChars - 1) {
      ReadRestInPieces(pDatabase, hstmt, nColumn, ppBuffer, strValue, nCType);
    }
    return;
  }
  if (nValueChars < nBufferChars) {
    strValue.ReleaseBuffer(static_cast<int>(nValueChars));
    return;
  }
  // The value did not fit: the first read delivered its buffer less the terminator, and the
  // rest is read whatever the type. A number or a text longer than its described size is not
  // cut (a driver may describe a double's size as 15 and write 23 characters, and SQLite does
  // not hold a varchar(50) to 50 characters).
  const long firstChars = nBufferChars - 1;

  if (nValueChars > kMaxTextChars) ThrowMemoryException();
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

  // A second read that tells no length ends at its terminator. One that is cut again found
  // more than the first read announced: the rest follows in pieces.
  if (rc == SQL_SUCCESS_WITH_INFO && indicator >= 0 && indicator / 2 >= restChars) {
    strValue.ReleaseBuffer(static_cast<int>(nValueChars));
    ReadRestInPieces(pDatabase, hstmt, nColumn, ppBuffer, strValue, nCType);
    return;
  }
  SQLLEN length = indicator < 0 ? static_cast<SQLLEN>(std::char_traits<char16_t>::length(text))
                                : firstChars + indicator / 2;
  length = std::clamp<SQLLEN>(length, firstChars, nValueChars);
  strValue.ReleaseBuffer(static_cast<int>(length));
}
