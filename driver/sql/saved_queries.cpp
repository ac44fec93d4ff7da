#include "saved_queries.h"

namespace mdbodbc::sql {

std::vector<SavedQuery> ReadSavedQueries(const jet::Database&) { return {}; }

}  // namespace mdbodbc::sql
