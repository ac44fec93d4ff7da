// The properties of a table and its columns as Access keeps them in the table's catalog row
// (MSysObjects.LvProp), in the Jet 4 form read by jet/properties.h: "MR2\0", the block of
// property names, the table's own block (always, even when empty) and a block for each column
// that has a property. Description is stored as text, DefaultValue as memo text and Required as
// Yes/No, each marked as a property the engine knows (flag 1), as Access marks them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mdb_writer.h"

namespace mkmdb {

// The most characters of a Description or DefaultValue, as Access allows.
inline constexpr std::size_t kMaxPropertyCharacters = 255;

// The blob for a table; empty when neither the table nor any column has a property. Throws
// WriterError for a property that is too long or not UTF-8 (naming the table and column).
std::vector<std::uint8_t> BuildPropertyBlob(const std::string& table, const std::string& description,
                                            const std::vector<ColumnSpec>& columns);

}  // namespace mkmdb
