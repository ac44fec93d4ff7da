#include "binary_image.h"
#include "text/utf.h"

#include "text.h"

#include <cstddef>

namespace mdbodbc {

Outcome BinaryImage(const sql::Cell& cell, const sql::ResultColumn& column, std::string& bytes) {
  if (cell.kind == sql::Cell::Kind::Blob) {
    bytes = cell.bytes;
    return {};
  }
  // The timestamp structure is the same under its ODBC 2 and ODBC 3 names.
  const SQLSMALLINT image = DefaultCType(column, SQL_OV_ODBC3);
  const SQLLEN size = FixedSize(image);
  if (size > 0) {
    alignas(std::max_align_t) unsigned char buffer[64] = {};
    static_assert(sizeof(SQL_TIMESTAMP_STRUCT) <= sizeof buffer && sizeof(SQLGUID) <= sizeof buffer);
    SQLLEN written = 0;
    Outcome outcome = PutFixed(cell, column, image, buffer, &written);
    if (outcome.rc == SQL_ERROR) return outcome;
    bytes.assign(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(size));
    return outcome;
  }
  if (image == SQL_C_CHAR) {
    bytes = ValueText(cell, column);
    return {};
  }
  std::u16string text = textconv::Utf8ToUtf16(ValueText(cell, column));
  bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
  return {};
}

}  // namespace mdbodbc
