// Rows of a rowset written into the buffers bound with SQLBindCol, row-wise or column-wise.
#pragma once

#include "handles.h"

namespace mdbodbc {

// Writes every bound column of every row of the cursor's rowset and fills the row status
// array (when given). Returns SQL_SUCCESS, SQL_SUCCESS_WITH_INFO when a value was cut or a row
// failed (its diagnostics added), or SQL_ERROR when the one row of the rowset failed.
SQLRETURN WriteBoundRows(Statement& stmt, SQLULEN rowsetSize, SQLUSMALLINT* rowStatus);

}  // namespace mdbodbc
