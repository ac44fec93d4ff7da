// The relationships between tables that a file keeps in MSysRelationships, one row per pair of
// columns:
//   szRelationship  the relationship's name
//   grbit           its flags (kRelationship...)
//   ccolumn         how many pairs of columns it has; icolumn: this pair's place among them
//   szObject, szColumn                       the foreign table and its column
//   szReferencedObject, szReferencedColumn   the primary table and its column
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "database.h"

namespace jet {

// The flags of a relationship (grbit).
inline constexpr std::uint32_t kRelationshipUnique = 0x00000001;        // one to one
inline constexpr std::uint32_t kRelationshipNotEnforced = 0x00000002;   // a join line only
inline constexpr std::uint32_t kRelationshipCascadeUpdates = 0x00000100;
inline constexpr std::uint32_t kRelationshipCascadeDeletes = 0x00001000;

// The most pairs of columns a relationship may have: an index has no more keys.
inline constexpr std::int64_t kMaxRelationshipColumns = 10;
// The most rows read from MSysRelationships.
inline constexpr std::size_t kMaxRelationshipRows = 1u << 20;

struct Relationship {
  std::string name;          // UTF-8, as every text here
  std::uint32_t flags = 0;   // kRelationship...
  std::string foreignTable;
  std::string primaryTable;
  // The pairs of columns in their order: the foreign table's, the primary table's.
  std::vector<std::string> foreignColumns;
  std::vector<std::string> primaryColumns;

  bool Enforced() const { return (flags & kRelationshipNotEnforced) == 0; }
};

// Reads every relationship of the file, in the order of their first rows. A file without
// MSysRelationships has none. False with `error` saying what is broken (a missing column pair,
// rows of one relationship that disagree, a row that is not readable).
bool ReadRelationships(const Database& database, std::vector<Relationship>& out,
                       std::string& error);

}  // namespace jet
