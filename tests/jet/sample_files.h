// Small writer-made databases that hold every kind of value the writer stores: each type with
// NULLs, empty and non-ASCII text, and memo values kept in the row, in one row of a memo page
// and in a chain of rows.
#pragma once

#include <string>
#include <vector>

#include "mdb_writer.h"

namespace jettest {

// A memo text of `characters` characters (mixing ASCII and wider letters when `wide`).
std::string MemoText(std::size_t characters, bool wide);

// A table "every_type" with a column of each writer type and rows covering their values.
mkmdb::TableSpec EveryTypeTable();
// A table "memos" whose rows hold memo values of every storage kind.
mkmdb::TableSpec MemoTable();
// A table "indexed" with a primary key and a two-column index (text descending, dates with
// NULLs) over enough rows for trees of two levels.
mkmdb::TableSpec IndexedTable();

// Tables "maker" and "plane" with properties on the tables and their columns (descriptions in
// several scripts, defaults of each kind, Required), and the catalog that relates them (a key
// of two columns with both cascades, one of a single column that is not enforced) and links a
// table of another file and of an ODBC data source.
std::vector<mkmdb::TableSpec> RelatedTables();
mkmdb::CatalogSpec RelatedCatalog();

// Writes `tables` to a file, with `catalog` and protected as asked, and returns its bytes (the
// file is removed again).
std::string DatabaseBytes(const std::vector<mkmdb::TableSpec>& tables,
                          const mkmdb::CatalogSpec& catalog = {},
                          const mkmdb::Protection& protection = {});

}  // namespace jettest
