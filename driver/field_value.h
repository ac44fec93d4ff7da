// The values of one row as libmdb stores them, and their decoding into typed values.
#pragma once

#include "mdb.h"
#include "odbc.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mdbodbc {

// Where one column's bytes lie inside a copied row.
struct RawField {
  bool isNull = true;
  bool damaged = false;  // the row's layout points outside the row
  uint32_t offset = 0;
  uint32_t size = 0;
};

// A copy of one stored row, so that its values can be read after libmdb's page buffer moved on.
struct RawRow {
  std::vector<unsigned char> bytes;
  std::vector<RawField> fields;  // indexed by the table's column index
};

enum class ValueKind { Bit, Integer, Real, Decimal, Timestamp, Text, Binary, Guid };

struct FieldValue {
  bool isNull = false;
  ValueKind kind = ValueKind::Text;
  int64_t integer = 0;          // Bit, Integer
  double real = 0;              // Real
  std::string decimal;          // Decimal: plain decimal digits with an optional sign and point
  SQL_TIMESTAMP_STRUCT timestamp{};  // Timestamp
  std::u16string text;          // Text
  std::string bytes;            // Binary, Guid (16 bytes)
};

// Decodes the value of the table column `column` (its index `columnIndex`) from a copied row.
// Long values (memo, OLE) are read from their pages through the handle. On a damaged value
// returns nothing and sets error.
std::optional<FieldValue> DecodeField(MdbHandle* mdb, const MdbColumn& column, int columnIndex,
                                      const RawRow& row, std::string& error);

// Exposed for tests: the text forms stored in a Jet 4 file, plain UTF-16LE or the compressed
// form that starts with FF FE.
std::u16string DecodeJet4Text(const unsigned char* data, size_t size);
// An OLE automation date (days since 1899-12-30, time as the fraction) as a timestamp,
// rounded to the second.
SQL_TIMESTAMP_STRUCT TimestampFromOleDate(double value);

}  // namespace mdbodbc
