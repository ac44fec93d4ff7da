// CRecordset: one result set over one ODBC statement on a CDatabase connection.
//
// Construction allocates the statement and registers the recordset with its connection when
// the connection is open. Open composes the statement text, sets the statement options after
// probing the driver, prepares and executes the statement, describes the result columns and
// fetches the first row. The move operations all go through MoveRows; GetFieldValue reads a
// column of the current row as text; Close drops the statement and leaves the connection's list.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include "db/database.h"
#include "db/db_exception.h"
#include "db/field_exchange.h"
#include "framework/cstring.h"
#include "framework/object.h"
#include "framework/ptr_map.h"

// One result column as SQLDescribeColW reports it.
struct ColumnDescription {
  CString m_strColumnName;        // at most 256 characters
  std::int16_t m_nDataType;       // SQL data type
  DWORD m_nColumnSize;
  std::int16_t m_nDecimalDigits;
  std::int16_t m_nNullable;
};

// Per bound field state kept between the fetch and an edit.
struct BoundFieldInfo {
  void* m_pValueCopy;  // copy of the value for change detection
  LONG m_nLength;
  BYTE m_nStatus;
};

// Where the cursor stands: the current row's index and whether the row count is final.
struct CursorPosition {
  LONG m_lCurrentRow;
  BOOL m_bLastRowKnown;
};

class CRecordset : public CObject {
  DRAVON_DECLARE_CLASS(CRecordset)

 public:
  // Open types.
  enum OpenType : UINT {
    keysetCursor = 0,
    staticCursor = 1,
    forwardOnly = 2,
    dynamicCursor = 3,
    defaultOpenType = 0xFFFFFFFF,
  };

  // Option bits of Open, kept in m_dwOpenOptions.
  enum OpenOptions : DWORD {
    none = 0,
    readOnly = 0x0004,
    addOnly = 0x0008,
    skipDeletedRows = 0x0010,
    skipDirtyCheck = 0x0020,
    withBookmarks = 0x0100,
    multiRowFetch = 0x0200,
    callerRowBuffers = 0x0400,
    extendedFetch = 0x0800,
    directExecute = 0x2000,
    fastBulkAdd = 0x4000,
  };

  enum LockMode : UINT { lockOnUpdate = 0, lockOnEdit = 1 };

  enum EditMode : UINT { noMode = 0, edit = 1, addnew = 2 };

  // Members, in declaration order.
  HSTMT m_hstmt;
  CDatabase* m_pDatabase;
  CString m_strWhereClause;
  CString m_strOrderByClause;
  DWORD m_nFields;
  DWORD m_nParams;
  BOOL m_bDirtyFieldCheck;
  BOOL m_bParamsNeedRebind;
  BOOL m_bHasLongBinary;
  BOOL m_bPositionedUpdates;
  DWORD m_dwOpenOptions;
  std::int16_t m_nResultColumns;   // -1 while not yet described
  BOOL m_bCursorLibrary;
  ColumnDescription* m_pColumnInfo;
  BoundFieldInfo* m_pBoundFieldInfo;
  CMapPtrToPtr m_mapFieldPositions;
  CMapPtrToPtr m_mapParamPositions;
  void** m_pFieldBuffers;
  void** m_pParamBuffers;
  DWORD m_nFieldBuffers;
  DWORD m_nParamBuffers;
  UINT m_nOpenType;
  UINT m_nDefaultOpenType;
  LONG m_lOpen;                    // -1 not yet known, 1 open, 0 closed
  UINT m_nEditMode;
  BOOL m_bLastRowKnown;
  LONG m_lRowsKnown;
  LONG m_lCurrentRow;              // -2 undefined, -1 before the first row
  CString m_strCursorName;
  UINT m_bLockMode;
  DWORD m_dwScrollConcurrency;
  DWORD m_dwConcurrencyModel;
  WORD* m_pRowStatus;
  DWORD m_dwFetchedRows;
  HSTMT m_hstmtUpdate;
  BOOL m_bRecordsetDb;             // the recordset created m_pDatabase and deletes it
  BOOL m_bBOF;
  BOOL m_bEOF;
  BOOL m_bUpdatable;
  BOOL m_bAppendable;
  CString m_strSQL;
  CString m_strChangeStatement;
  CString m_strFromTable;
  BOOL m_bScrollable;
  BOOL m_bDeleted;
  LONG m_nFieldsBound;             // 0 not yet bound, -1 nothing to bind, n fields bound
  BYTE* m_pFieldState;
  BYTE* m_pParamState;
  LONG* m_pParamLengths;
  DWORD m_dwFirstReadLength;
  DWORD m_dwRowsPerFetch;
  DWORD m_dwBulkRowsAllocated;
  CString m_strOpenedSQL;
  CString m_strOpenedWhere;
  CString m_strOpenedOrderBy;

  explicit CRecordset(CDatabase* database = nullptr);
  ~CRecordset() override;

  void AssertValid() const override;
  void Dump(CDumpContext& dc) const override;

  // The virtual operations after CObject's five, in this order.
  virtual BOOL Open(UINT openType = defaultOpenType, const char16_t* statementText = nullptr,
                    DWORD options = none);
  virtual void Close();
  virtual void MoveRows(LONG nRows, WORD wFetchType);
  virtual void SetRowsPerFetch(DWORD rows);
  virtual void CheckFetchResult(RETCODE nRetCode);
  virtual void AddNew();
  virtual void Edit();
  virtual BOOL UpdateRecord();
  virtual void DeleteRecord();
  virtual BOOL Requery();
  virtual CString DefaultConnectString();
  virtual CString DefaultStatementText();
  virtual void ApplyStatementOptions(HSTMT statement);
  virtual void ApplyUpdateStatementOptions(HSTMT statement);
  virtual void ExchangeFields(CFieldExchange* pFX);
  virtual void ExchangeFieldsInBulk(CFieldExchange* pFX);
  virtual BOOL CheckResult(RETCODE nReturnCode);
  virtual void UpdateCursorState(RETCODE nRetCode, WORD wFetchType, LONG nRows,
                                 DWORD dwFetchedRows);
  virtual void BeforeBindFields();
  [[noreturn]] virtual void RaiseError(RETCODE nReturnCode, HSTMT hstmt = SQL_NULL_HSTMT);
  virtual DWORD NextLongFetchSize(DWORD size);
  virtual DWORD NextLongBufferSize(DWORD size);

  // Whether the recordset has an executed result set; may ask the driver.
  BOOL IsOpen();

  // Moves.
  void MoveNext();
  void MovePrev();
  void MoveFirst();
  void MoveLast();
  void SetAbsolutePosition(LONG position);

  // Read accessors; each requires an open recordset.
  BOOL IsEOF() const;
  BOOL IsBOF() const;
  BOOL IsDeleted() const;
  std::int16_t GetResultColumnCount() const;
  LONG GetRowsKnown() const;
  CursorPosition GetCursorPosition() const;
  DWORD GetFetchedRowCount() const;
  DWORD GetRowsPerFetch() const;
  WORD GetRowStatus(WORD row) const;  // row counted from 1

  // Column values of the current row.
  void GetFieldValue(short nIndex, CString& strValue);
  static long TextBufferLength(short nSQLType, DWORD nColumnSize);
  static SQLLEN ReadColumn(CDatabase* pDatabase, HSTMT hstmt, short nColumn, short nCType,
                           void* pBuffer, SQLLEN nBufferBytes, short nSQLType);
  static void ReadRemainingText(CDatabase* pDatabase, HSTMT hstmt, short nColumn,
                                SQLLEN nValueChars, void** ppBuffer, long nBufferChars,
                                CString& strValue, short nSQLType, short nCType);

  // Statement text composition.
  void ComposeStatement(const char16_t* statementText);
  void ExpandToSelect();
  void AppendWhereAndOrderBy();
  BOOL CanModifyRows();
  BOOL IsModifiableStatement(const char16_t* text);
  BOOL IsModifiableSelect(const char16_t* text);

  // Field exchange passes.
  DWORD BindParameters(HSTMT hstmt);
  void MarkFieldsChanged();
  DWORD AppendFieldNames(CString* text, const char16_t* separator);

  // Steps of Open.
  void ApplyOpenArguments(UINT openType, const char16_t* statementText, DWORD options);
  BOOL EnsureStatement();
  void TurnOnBookmarks();
  void CheckScrollSupport();
  UDWORD ChooseCursorType();
  void ChooseUpdateMethod();
  void ApplyCursorTypeAndLocking(HSTMT statement, UDWORD cursorType);
  void ExecuteStatement();
  void DescribeColumns();
  void SetUpRowStatus();
  void AllocateFieldState();

  // Steps of a move.
  void ValidateMove(WORD wFetchType, LONG nRows);
  RETCODE FetchRows(WORD wFetchType, LONG nRows, DWORD* pdwFetchedRows);
  void FetchSkippingDeleted(WORD wFetchType, LONG nRows, DWORD* pdwFetchedRows,
                            RETCODE* pnRetCode);
  // Where a fetch left the cursor: the current row's index and the rows known (returns the
  // move's direction: positive forward, negative backward, 0 neither), then BOF and EOF.
  long long PlaceCurrentRow(bool noData, WORD wFetchType, LONG nRows);
  void StepCurrentRow(bool noData, long long rows);
  void CountRowReached(bool noData);
  void SetEndFlags(bool noData, WORD wFetchType, long long direction);

  CRecordset(const CRecordset&) = delete;
  CRecordset& operator=(const CRecordset&) = delete;
};

// Finds `keyword` (upper case) in `text` outside quoted literals and bracketed names, without
// regard to letter case; returns a pointer into `text`, or null.
const char16_t* FindKeyword(const char16_t* text, const char16_t* keyword);

// TRUE when a FROM clause names more than one table (a comma or " JOIN ").
BOOL HasJoin(const char16_t* fromClause);
