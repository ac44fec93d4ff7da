// Checks on table and column names and on the shape of the tables handed to the writer.
#pragma once

#include <string>
#include <vector>

#include "mdb_writer.h"

namespace mkmdb {

// Throws WriterError for a name the file format or Access would refuse; `what` says whose
// name it is ("table", "column \"x\" of table avion").
void CheckObjectName(const std::string& name, const std::string& what);

// Checks names, sizes and column counts of every table, and its indexes; throws WriterError.
void CheckTables(const std::vector<TableSource>& tables);

// Checks that each link has a name no table or other link has, and says where it leads (a
// file, or an ODBC connect string, and a table there); throws WriterError.
void CheckLinks(const std::vector<TableSource>& tables, const std::vector<LinkSpec>& links);

// The column of `table` named `name` in any letter case, or null.
const ColumnSpec* FindColumnByName(const TableSource& table, const std::string& name);

}  // namespace mkmdb
