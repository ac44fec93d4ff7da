// The values of complex columns (Access 2007 and later): multi-valued columns and attachments.
// A row keeps in such a column only a 4-byte key; the values are rows of a hidden table, its
// "flat" table (named f_<GUID>_<column> by Access), each carrying the key in a Long column.
// MSysComplexColumns maps the column's ComplexID (in its descriptor) to the flat table's
// catalog Id (FlatTableID), whose low 24 bits are the page of its definition.
//
// A multi-valued column's flat table keeps each value in a column named Value; an attachment's
// keeps FileData, FileFlags, FileName, FileTimeStamp, FileType and FileURL. The column reads as
// its values joined by "; " in the order the flat table keeps them (an attachment: the names
// of its files), as Access shows them; a row with none reads as empty text.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "database.h"
#include "file_context.h"
#include "table_definition.h"

namespace jet {

struct ComplexValues {
  std::string error;  // not empty: the column's values cannot be read, saying why
  std::unordered_map<std::uint32_t, std::string> joined;  // by key
};

// Reads the values of complex column `column` from its flat table.
std::shared_ptr<const ComplexValues> LoadComplexValues(const std::shared_ptr<const OpenFile>& file,
                                                       const std::vector<CatalogTable>& tables,
                                                       const Column& column);

// The text a value shows among the joined values of a multi-valued column.
std::string ComplexValueText(const Value& value);

}  // namespace jet
