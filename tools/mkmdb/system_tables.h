// The physical layouts of the system tables every file holds (MSysObjects, MSysACEs,
// MSysQueries, MSysRelationships), from their definitions in jet/format.h.
#pragma once

#include "jet/format.h"
#include "table_layout.h"

namespace mkmdb {

TableLayout SystemTableLayout(const jet::SystemTable& table);

}  // namespace mkmdb
