// The physical description of a table: each column's type code, number, place in the fixed
// area or slot in the variable area, and the flags its definition carries; and its indexes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mdb_writer.h"

namespace mkmdb {

struct PhysicalColumn {
  std::string name;
  std::uint8_t type = 0;         // jet::kType...
  std::uint8_t flags = 0;        // jet::kColumnFixed | jet::kColumnNullable | ...
  std::uint8_t compression = 0;  // 1: text may be stored compressed
  std::uint16_t length = 0;      // bytes; 0 for memo and OLE
  std::uint8_t precision = 0;    // Decimal: digits in all and after the point
  std::uint8_t scale = 0;
  // Filled in by LayOutTable:
  std::uint16_t number = 0;        // order and bit in the null mask
  std::uint16_t variable_slot = 0; // variable columns: slot in the offset table; fixed columns:
                                   // how many variable columns come before
  std::uint16_t fixed_offset = 0;  // fixed columns: offset inside the fixed area

  bool fixed() const { return (flags & 0x01) != 0; }
  bool long_value() const;  // memo or OLE: keeps its own pair of page maps
  bool boolean() const;     // Yes/No: its value is its bit in the null mask, it takes no bytes
};

// An index over some columns. Index i of a table is both its physical index i and its logical
// index numbered i.
struct IndexLayout {
  std::string name;
  std::vector<std::uint16_t> keys;  // column numbers
  std::uint8_t flags = 0;           // jet::kIndexUnique, ...
  std::uint8_t kind = 0;            // jet::kLogicalIndexPlain or jet::kLogicalIndexPrimaryKey
  std::vector<bool> descending{};   // per key; empty: all ascending
};

struct TableLayout {
  std::string name;
  bool system = false;  // a system table: descriptors sorted by name, column index 0
  std::vector<PhysicalColumn> columns;
  std::vector<IndexLayout> indexes;
  std::uint16_t fixed_size = 0;
  std::uint16_t variable_count = 0;
  std::size_t long_value_count = 0;
  // The largest number an AutoNumber column has given (0 before the first), which the
  // definition keeps for the rows Access adds later.
  std::uint32_t last_autonumber = 0;
};

// Numbers the columns in order; fixed columns take consecutive fixed-area offsets (a Yes/No
// column takes none and has offset 0) and variable columns consecutive slots.
TableLayout LayOutTable(std::string name, bool system, std::vector<PhysicalColumn> columns);

// The physical form of a user column.
PhysicalColumn PhysicalColumnFor(const ColumnSpec& column);

// The layout of a user index whose key columns are at `positions` of the table (column numbers
// follow the columns' order).
IndexLayout IndexLayoutFor(const IndexSpec& index, const std::vector<std::size_t>& positions);

}  // namespace mkmdb
