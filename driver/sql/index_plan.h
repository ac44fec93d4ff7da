// Reading a table of the file through one of its indexes when a statement's constraints or
// its ORDER BY can use one: equality on an index's first columns (values or an IN list),
// then a range on the next, and the index's own order in place of a sort.
//
// The engine still tests every row against every constraint (none is marked omitted), so a
// read planned here only has to give every row that can match, never fewer: values that do
// not fall on the column's own values widen a bound to the nearest stored value (2.5 on a Long
// column starts at 3), and a value that cannot bound the index at all (text beyond the known
// key codes, a value of a form the column's engine values never take) turns the read into a
// full scan. The engine's forms of the values: integers for Byte, Integer, Long and 64-bit
// columns and for Yes/No (-1 or 0; any other integer is taken as Yes), Currency as an integer
// of ten-thousandths, reals for Single and Double, Date/Time as a real day number in the linear
// form (day + time, the time counting forward even before 1899-12-30), text as UTF-8.
//
// Index order stands for ORDER BY only where it is the engine's order for every value: whole
// numbers and Currency. Not text (the engine's collation is not Access's sort order), not
// Date/Time (before 1899-12-30 the stored numbers of one day run backwards in time), not reals
// (a NaN), not Yes/No (its engine form differs between versions of the driver).
#pragma once

#include <sqlite3.h>

#include <memory>

#include "jet/database.h"

namespace mdbodbc::sql {

// Fills `info` for a read of `table`: through an index when a constraint or the ORDER BY can use
// one and that costs less than a scan, else a full scan. The plan travels in idxNum (0: scan).
void PlanTableRead(const jet::TableDefinition& table, sqlite3_index_info* info);

// Starts the read PlanTableRead planned as `plan` with the constraint values `argv`; `pages`
// keeps index pages from one read to the next (a join reads the table once per outer row).
// Null when the table's storage cannot be read at all.
std::unique_ptr<jet::Scan> StartPlannedRead(const jet::Database& database,
                                            const jet::TableDefinition& table,
                                            jet::IndexPageCache& pages, int plan, int argc,
                                            sqlite3_value** argv);

}  // namespace mdbodbc::sql
