// The four descriptors of a statement, as views of its bound columns, bound parameters and
// result description.
#pragma once

#include "handles.h"

namespace mdbodbc {

// The statement's descriptor of the given kind (SQL_ATTR_APP_ROW_DESC ... SQL_ATTR_IMP_PARAM_DESC).
Descriptor* StatementDescriptor(Statement& stmt, SQLINTEGER which);

}  // namespace mdbodbc
