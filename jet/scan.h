// A pass over the live rows of one table, one data page held at a time.
#pragma once

#include "table_definition.h"
#include "value.h"

#include <cstdint>
#include <string>

namespace jet {

class Scan {
 public:
  virtual ~Scan() = default;
  // Moves to the next live row (deleted rows are skipped, overflow rows followed). False at
  // the end of the table, or when the table's storage is broken: Error() then says what, for
  // example: table "avion": data page 7 lists row 3 at offset 5000, past the page.
  virtual bool Next() = 0;
  virtual const std::string& Error() const = 0;
  // Decodes column `column` (position in the definition's columns) of the current row.
  // A value that cannot be read comes back as ValueKind::Error; the row and scan go on.
  virtual void Read(std::size_t column, Value& out) = 0;
  // Where the current row is stored: unique within the file for the scan's lifetime.
  virtual std::int64_t RowId() const = 0;
  // Makes the row `rowId` (as RowId gives it for a row of this table) current, for Read. False
  // with Error() set when it is not a live row of the table; the scan then ends.
  virtual bool MoveTo(std::int64_t rowId) = 0;
};

}  // namespace jet
