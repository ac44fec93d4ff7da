#include "db/not_built.h"
#include "db/recordset.h"

void CRecordset::MoveNext() { NotBuilt("MoveNext"); }
void CRecordset::MovePrev() { NotBuilt("MovePrev"); }
void CRecordset::MoveFirst() { NotBuilt("MoveFirst"); }
void CRecordset::MoveLast() { NotBuilt("MoveLast"); }
void CRecordset::SetAbsolutePosition(LONG) { NotBuilt("SetAbsolutePosition"); }
void CRecordset::MoveRows(LONG, WORD) { NotBuilt("MoveRows"); }
void CRecordset::ValidateMove(WORD, LONG) { NotBuilt("ValidateMove"); }
RETCODE CRecordset::FetchRows(WORD, LONG, DWORD*) { NotBuilt("FetchRows"); }
void CRecordset::FetchSkippingDeleted(WORD, LONG, DWORD*, RETCODE*) { NotBuilt("FetchSkippingDeleted"); }
void CRecordset::CheckFetchResult(RETCODE) { NotBuilt("CheckFetchResult"); }
void CRecordset::UpdateCursorState(RETCODE, WORD, LONG, DWORD) { NotBuilt("UpdateCursorState"); }
BOOL CRecordset::IsEOF() const { NotBuilt("IsEOF"); }
BOOL CRecordset::IsBOF() const { NotBuilt("IsBOF"); }
BOOL CRecordset::IsDeleted() const { NotBuilt("IsDeleted"); }
std::int16_t CRecordset::GetResultColumnCount() const { NotBuilt("GetResultColumnCount"); }
LONG CRecordset::GetRowsKnown() const { NotBuilt("GetRowsKnown"); }
CursorPosition CRecordset::GetCursorPosition() const { NotBuilt("GetCursorPosition"); }
DWORD CRecordset::GetFetchedRowCount() const { NotBuilt("GetFetchedRowCount"); }
DWORD CRecordset::GetRowsPerFetch() const { NotBuilt("GetRowsPerFetch"); }
WORD CRecordset::GetRowStatus(WORD) const { NotBuilt("GetRowStatus"); }
