// MSysRelationships: one row per pair of columns of each relationship (its name, flags, number
// of pairs and the pair's place, the foreign table and column, the primary table and column),
// and the entries of the table's three indexes (by name, foreign table, primary table).
#pragma once

#include <cstdint>
#include <vector>

#include "index_pages.h"
#include "mdb_writer.h"

namespace mkmdb {

// One row of MSysRelationships.
struct RelationshipRow {
  const RelationshipSpec* relationship;
  std::size_t pair;  // the place of the pair of columns
};

// Checks that each relationship has a valid name of its own and pairs of columns of tables
// of the file (or links, whose columns are not known here); throws WriterError.
void CheckRelationships(const std::vector<TableSource>& tables, const CatalogSpec& catalog);

// The rows of `relationships`, in order, a row per pair of columns.
std::vector<RelationshipRow> RelationshipRows(const std::vector<RelationshipSpec>& relationships);
std::vector<std::vector<std::uint8_t>> EncodeRelationshipRows(const std::vector<RelationshipRow>& rows);

// The entries of index `index` (0 szRelationship, 1 szObject, 2 szReferencedObject), given
// where each row went.
std::vector<IndexEntry> RelationshipIndex(std::size_t index, const std::vector<RelationshipRow>& rows,
                                          const std::vector<std::uint32_t>& placed);

}  // namespace mkmdb
