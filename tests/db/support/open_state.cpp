#include "tests/db/support/open_state.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kColumnNameChars = 256;

void Require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("open state: ") + what + " failed");
}

bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

SQLULEN CursorTypeOf(UINT openType) {
  return openType == CRecordset::keysetCursor    ? SQL_CURSOR_KEYSET_DRIVEN
         : openType == CRecordset::dynamicCursor ? SQL_CURSOR_DYNAMIC
                                                 : SQL_CURSOR_STATIC;
}

// A statement allocated on the connection and registered at the head of its list, as Open
// does for a recordset whose statement was dropped by Close.
void EnsureStatement(CRecordset& recordset) {
  if (recordset.m_hstmt != SQL_NULL_HSTMT) return;
  Require(recordset.m_pDatabase != nullptr && recordset.m_pDatabase->IsOpen(), "connection");
  Require(Succeeded(SQLAllocStmt(recordset.m_pDatabase->m_hdbc, &recordset.m_hstmt)),
          "SQLAllocStmt");
  DatabaseLock lock;
  recordset.m_pDatabase->m_listRecordsets.AddHead(&recordset);
}

}  // namespace

fakeodbc::ResultSet BrandResult(const std::vector<fakeodbc::Cell>& values) {
  fakeodbc::ResultSet result = fakeodbc::healthyResult();
  result.rows.clear();
  for (const fakeodbc::Cell& value : values) result.rows.push_back({value});
  return result;
}

fakeodbc::ResultSet NumberedBrands(int n) {
  std::vector<fakeodbc::Cell> values;
  for (int i = 0; i < n; ++i) {
    values.emplace_back(u"Brand " + CString::FromUtf8(std::to_string(i)).Str());
  }
  return BrandResult(values);
}

void PrepareOpenState(CRecordset& recordset, const OpenRequest& request) {
  EnsureStatement(recordset);
  HSTMT statement = recordset.m_hstmt;

  // The open type, options and flags as Open derives them from its arguments.
  DWORD options = request.options;
  recordset.m_nOpenType = request.openType;
  recordset.m_bAppendable =
      (options & CRecordset::addOnly) || !(options & CRecordset::readOnly) ? TRUE : FALSE;
  recordset.m_bUpdatable =
      !(options & CRecordset::readOnly) && !(options & CRecordset::addOnly) ? TRUE : FALSE;
  if (options & (CRecordset::skipDirtyCheck | CRecordset::multiRowFetch)) {
    recordset.m_bDirtyFieldCheck = FALSE;
  }
  if (request.openType == CRecordset::forwardOnly && !(options & CRecordset::readOnly)) {
    options |= CRecordset::readOnly;
    if (options & CRecordset::multiRowFetch) options |= CRecordset::extendedFetch;
  }
  recordset.m_dwOpenOptions = options;
  recordset.m_strOpenedSQL = CString(request.statement);

  // A scrollable type: the fake's driver offers SQLExtendedFetch and the cursor type is set.
  if (request.openType != CRecordset::forwardOnly) {
    recordset.m_bScrollable = TRUE;
    Require(Succeeded(SQLSetStmtOption(statement, SQL_CURSOR_TYPE,
                                       CursorTypeOf(request.openType))),
            "SQLSetStmtOption(SQL_CURSOR_TYPE)");
  }

  recordset.m_strSQL = CString(request.statement);
  std::u16string text = request.statement;
  Require(Succeeded(SQLPrepareW(statement, reinterpret_cast<SQLWCHAR*>(text.data()), SQL_NTS)),
          "SQLPrepareW");
  Require(Succeeded(SQLExecute(statement)), "SQLExecute");
  recordset.m_lOpen = 1;

  SQLSMALLINT columns = 0;
  Require(Succeeded(SQLNumResultCols(statement, &columns)), "SQLNumResultCols");
  recordset.m_nResultColumns = columns;
  if (columns > 0) {
    recordset.m_pColumnInfo = new ColumnDescription[columns];
    for (SQLUSMALLINT n = 1; n <= columns; ++n) {
      ColumnDescription& column = recordset.m_pColumnInfo[n - 1];
      char16_t* name = column.m_strColumnName.GetBufferSetLength(kColumnNameChars);
      SQLSMALLINT nameLength = 0;
      SQLULEN size = 0;
      Require(Succeeded(SQLDescribeColW(statement, n, reinterpret_cast<SQLWCHAR*>(name),
                                        kColumnNameChars, &nameLength, &column.m_nDataType,
                                        &size, &column.m_nDecimalDigits, &column.m_nNullable)),
              "SQLDescribeColW");
      column.m_strColumnName.ReleaseBuffer(std::min<int>(nameLength, kColumnNameChars));
      column.m_nColumnSize = static_cast<DWORD>(size);
    }
  }

  recordset.m_pRowStatus = new WORD[1]();
  recordset.m_dwRowsPerFetch = 1;
  if (recordset.m_nFields > 0) {
    if (recordset.m_pBoundFieldInfo == nullptr) {
      recordset.m_pBoundFieldInfo = new BoundFieldInfo[recordset.m_nFields]();
    }
    if (recordset.m_pFieldState == nullptr) {
      recordset.m_pFieldState = new BYTE[recordset.m_nFields]();
    }
  }
}

void PutInOpenState(CRecordset& recordset, const OpenRequest& request) {
  PrepareOpenState(recordset, request);
  recordset.MoveNext();
  recordset.m_bBOF = recordset.m_bEOF;
}

CRecordset& OpenStateTest::Opened(const OpenRequest& request) {
  recordset = std::make_unique<CRecordset>(database.get());
  PutInOpenState(*recordset, request);
  return *recordset;
}

std::string FetchLine(const char* orientation, long rows, const char* rc,
                      const std::string& statement) {
  return "SQLExtendedFetch(" + statement + ", " + orientation + ", " + std::to_string(rows) +
         ") -> " + rc;
}

PositionSnapshot PositionSnapshot::Of(const CRecordset& recordset) {
  return {recordset.m_lCurrentRow,  recordset.m_lRowsKnown, recordset.m_bLastRowKnown,
          recordset.m_bBOF,         recordset.m_bEOF,       recordset.m_bDeleted,
          recordset.m_dwFetchedRows, recordset.m_nFieldsBound, recordset.m_lOpen,
          recordset.m_nEditMode};
}

void PrintTo(const PositionSnapshot& s, std::ostream* os) {
  *os << "{row " << s.currentRow << ", known " << s.rowsKnown << ", lastKnown " << s.lastRowKnown
      << ", BOF " << s.bof << ", EOF " << s.eof << ", deleted " << s.deleted << ", fetched "
      << s.fetchedRows << ", bound " << s.fieldsBound << ", open " << s.open << ", edit "
      << s.editMode << "}";
}
