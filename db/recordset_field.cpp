#include "db/not_built.h"
#include "db/recordset.h"

void CRecordset::GetFieldValue(short, CString&) { NotBuilt("GetFieldValue"); }
long CRecordset::TextBufferLength(short, DWORD) { NotBuilt("TextBufferLength"); }
SQLLEN CRecordset::ReadColumn(CDatabase*, HSTMT, short, short, void*, SQLLEN, short) { NotBuilt("ReadColumn"); }
void CRecordset::ReadRemainingText(CDatabase*, HSTMT, short, SQLLEN, void**, long, CString&, short, short) { NotBuilt("ReadRemainingText"); }
