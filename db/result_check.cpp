// How the connection and the recordset judge ODBC return codes and raise database errors.
#include "db/database.h"
#include "db/db_exception.h"
#include "db/recordset.h"

BOOL CDatabase::CheckStatementResult(RETCODE nReturnCode, HSTMT hstmt) {
  AssertValid();
  switch (nReturnCode) {
    case SQL_SUCCESS:
    case SQL_NO_DATA_FOUND:
      return TRUE;
    case SQL_SUCCESS_WITH_INFO:
      TraceSuccessWithInfo(this, hstmt);
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CDatabase::CheckResult(RETCODE nReturnCode) {
  return CheckStatementResult(nReturnCode, SQL_NULL_HSTMT);
}

void CDatabase::RaiseError(RETCODE nReturnCode) {
  RaiseDatabaseError(nReturnCode, this, m_hstmtCancel);
}

BOOL CRecordset::CheckResult(RETCODE nReturnCode) {
  AssertValid();
  switch (nReturnCode) {
    case SQL_SUCCESS:
    case SQL_NEED_DATA:
    case SQL_NO_DATA_FOUND:
      return TRUE;
    case SQL_SUCCESS_WITH_INFO:
      TraceSuccessWithInfo(m_pDatabase, m_hstmt);
      return TRUE;
    default:
      return FALSE;
  }
}

void CRecordset::RaiseError(RETCODE nReturnCode, HSTMT hstmt) {
  RaiseDatabaseError(nReturnCode, m_pDatabase, hstmt != SQL_NULL_HSTMT ? hstmt : m_hstmt);
}
