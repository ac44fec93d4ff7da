#include "db/not_built.h"
#include "db/recordset.h"

void CRecordset::Close() { NotBuilt("Close"); }
CRecordset::~CRecordset() {}
