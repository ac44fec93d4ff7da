#include "db/not_built.h"
#include "db/recordset.h"

BOOL CRecordset::Open(UINT, const char16_t*, DWORD) { NotBuilt("Open"); }
void CRecordset::ApplyOpenArguments(UINT, const char16_t*, DWORD) { NotBuilt("ApplyOpenArguments"); }
BOOL CRecordset::EnsureStatement() { NotBuilt("EnsureStatement"); }
void CRecordset::ApplyStatementOptions(HSTMT) { NotBuilt("ApplyStatementOptions"); }
void CRecordset::TurnOnBookmarks() { NotBuilt("TurnOnBookmarks"); }
void CRecordset::CheckScrollSupport() { NotBuilt("CheckScrollSupport"); }
UDWORD CRecordset::ChooseCursorType() { NotBuilt("ChooseCursorType"); }
void CRecordset::ChooseUpdateMethod() { NotBuilt("ChooseUpdateMethod"); }
void CRecordset::ApplyCursorTypeAndLocking(HSTMT, UDWORD) { NotBuilt("ApplyCursorTypeAndLocking"); }
void CRecordset::ExecuteStatement() { NotBuilt("ExecuteStatement"); }
void CRecordset::DescribeColumns() { NotBuilt("DescribeColumns"); }
void CRecordset::SetUpRowStatus() { NotBuilt("SetUpRowStatus"); }
void CRecordset::AllocateFieldState() { NotBuilt("AllocateFieldState"); }
