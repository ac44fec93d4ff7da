// Calculated columns (Access 2010 and later): a row keeps the value Access computed from the
// column's expression when the row was last written. A column descriptor marks such a column
// in its extra flags byte (kCalculatedFlags); its type is the type of the result. The stored
// value is wrapped:
//
//   16 bytes (unused here) | u32 length of the value | the value | zero bytes
//
// In the fixed area the field takes kCalculatedFixedSize bytes whatever its type; in the
// variable area (text) or a long value (long text) the wrapped value is as long as it needs.
// The value is in its type's usual stored form, except for Decimal results, which are kept as
// a 16-byte DECIMAL of OLE Automation:
//
//   u16 reserved | u8 scale | u8 sign (0x80 negative) | u32 high 32 bits | u64 low 64 bits
//
// and Yes/No results, which are kept as a stored byte (not zero: Yes) rather than in the null
// mask, whose bit says only whether there is a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "table_definition.h"
#include "value.h"

namespace jet {

// In a Jet 4 or later column descriptor: the byte after the flags, and its bits that mark a
// calculated column.
inline constexpr std::size_t kColumnExtraFlags = 16;
inline constexpr std::uint8_t kCalculatedFlags = 0xC0;
inline constexpr std::size_t kCalculatedLengthOffset = 16;  // u32 in the wrapped value
inline constexpr std::size_t kCalculatedValueOffset = 20;
inline constexpr std::size_t kCalculatedFixedSize = 39;
inline constexpr std::size_t kCalculatedDecimalSize = 16;

// Finds the value inside the `size` wrapped bytes at `data`: `value`, `valueSize`. False with
// `error` saying what is wrong.
bool UnwrapCalculated(const std::uint8_t* data, std::size_t size, const std::uint8_t*& value,
                      std::size_t& valueSize, std::string& error);

// Decodes the unwrapped value of a calculated column whose result is not text. `out` becomes
// an error (Damaged, without the column's name) when the value is too short for its type.
void DecodeCalculated(const Column& column, const std::uint8_t* value, std::size_t size,
                      Value& out);

// The decimal text of a 16-byte DECIMAL at `data`, at the larger of its own scale and
// `columnScale`. False when its scale is beyond 28.
bool AutomationDecimalText(const std::uint8_t* data, std::uint8_t columnScale, std::string& out);

}  // namespace jet
