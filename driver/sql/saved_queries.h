// The queries a file keeps: the rows of MSysQueries that describe each one (its kind, tables,
// columns, joins, conditions, grouping, order), put back together as Access SQL text.
#pragma once

#include "engine.h"

#include "jet/database.h"

#include <vector>

namespace mdbodbc::sql {

// Every query of the file, in the catalog's order. A query whose description cannot be read
// is kept with its problem, so that using it says what is wrong.
std::vector<SavedQuery> ReadSavedQueries(const jet::Database& database);

}  // namespace mdbodbc::sql
