#include "db/not_built.h"
#include "db/recordset.h"

void CRecordset::ComposeStatement(const char16_t*) { NotBuilt("ComposeStatement"); }
void CRecordset::ExpandToSelect() { NotBuilt("ExpandToSelect"); }
void CRecordset::AppendWhereAndOrderBy() { NotBuilt("AppendWhereAndOrderBy"); }
BOOL CRecordset::CanModifyRows() { NotBuilt("CanModifyRows"); }
BOOL CRecordset::IsModifiableStatement(const char16_t*) { NotBuilt("IsModifiableStatement"); }
BOOL CRecordset::IsModifiableSelect(const char16_t*) { NotBuilt("IsModifiableSelect"); }
DWORD CRecordset::BindParameters(HSTMT) { NotBuilt("BindParameters"); }
void CRecordset::MarkFieldsChanged() { NotBuilt("MarkFieldsChanged"); }
DWORD CRecordset::AppendFieldNames(CString*, const char16_t*) { NotBuilt("AppendFieldNames"); }
const char16_t* FindKeyword(const char16_t*, const char16_t*) { NotBuilt("FindKeyword"); }
BOOL HasJoin(const char16_t*) { NotBuilt("HasJoin"); }
