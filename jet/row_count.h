// Counting a table's rows from the row tables of its data pages: the pages its usage map lists,
// and on each page the offset table's entries that are not deleted. The rows themselves are
// never decoded.
#pragma once

#include <cstdint>
#include <string>

#include "file_context.h"
#include "table_definition.h"

namespace jet {

// False with `error` (naming the table) when the usage map or one of its pages is broken.
bool CountTableRows(const FileContext& file, const TableDefinition& table, std::uint64_t& count,
                    std::string& error);

}  // namespace jet
