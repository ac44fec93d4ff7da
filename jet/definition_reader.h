// Reading a table definition: the header, column descriptors and names, and the indexes, from
// a definition page and the continuation pages it links to.
#pragma once

#include <cstdint>
#include <string>

#include "file_context.h"
#include "table_definition.h"

namespace jet {

// The most pages one definition may span; 255 columns and indexes with long names need far
// fewer.
inline constexpr std::size_t kMaxDefinitionPages = 128;
// The most logical or real indexes a definition may declare.
inline constexpr std::uint32_t kMaxIndexes = 255;

// Reads the definition on page `page` into `out` (its name set to `name`). False with `error`
// saying what is broken.
bool ReadTableDefinition(const FileContext& file, std::uint32_t page, std::string_view name,
                         TableDefinition& out, std::string& error);

// The bytes a value of a fixed-size type takes in a row; for Text and Binary stored in the
// fixed area, `storedLength`. 0 for Yes/No (kept in the null mask) and long values.
std::size_t FixedValueSize(ColumnType type, std::uint16_t storedLength);
// The bytes a fixed column's field takes in a row: its type's size, or for a calculated column
// its declared length (the value and the wrapping around it).
std::size_t FixedFieldSize(const Column& column);

}  // namespace jet
