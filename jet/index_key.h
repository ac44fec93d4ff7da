// The bytes an index entry holds for its key columns, so that entries sort by their bytes in
// the order of the index. Each key column adds a segment; a descending column's segment is the
// ascending one with every byte inverted.
//
// Ascending segments, a flag byte first (kKeyAscending for a value, kKeyNull alone for NULL):
//   Byte                     the byte
//   Integer, Long, 64-bit, Currency  big-endian with the sign bit flipped
//   Single, Double, Date/Time  big-endian; the sign bit flipped when clear, every bit inverted
//                            when set (so negative numbers sort below positive ones)
//   Text                     the sort codes of its characters, case folded (TextKeyCode),
//                            then kTextKeyEnd and kTextKeyExtrasEnd
//   Replication ID           the 16 stored bytes
//   Decimal                  0x01 for zero and above, 0x00 below, then the 16-byte magnitude
//                            big-endian (inverted below zero); values of one column share a
//                            scale, so magnitudes compare
//   Yes/No                   one byte without a flag: 0x00 for Yes, 0xFF for No (Yes is -1)
// Seen in files Access wrote: the flags, Long and Date/Time values (and descending Long), text
// of the characters TextKeyCode knows. The other types follow the same rules by inference; the
// Decimal, Replication ID and Yes/No forms are this project's choice, unconfirmed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "table_definition.h"
#include "value.h"

namespace jet {

// Whether values of `type` can be index keys here (not Memo, OLE, Binary or complex columns).
bool KeyType(ColumnType type);

// Appends the segment of one key column, its value given in the stored form a row holds
// (FixedValueSize bytes; `stored` null for NULL). Not for Text or Yes/No. False for a type
// KeyType refuses.
bool AppendStoredKey(ColumnType type, const std::uint8_t* stored, bool ascending,
                     std::string& key);

void AppendBoolKey(bool yes, bool ascending, std::string& key);
void AppendNullKey(bool ascending, std::string& key);

// Text under the General sort order, letter case folded in every script. A character without
// a known code (other punctuation, letters beyond ASCII) is written as three bytes from 0xE0
// up holding its UTF-16 unit: such keys keep distinct texts apart and in order, but are not the
// bytes Access writes. Returns whether every character had a known code.
bool AppendTextKey(std::u16string_view text, bool ascending, std::string& key);
// The same from UTF-8; false also for bytes that are not UTF-8 (the key is then incomplete).
bool AppendUtf8TextKey(std::string_view text, bool ascending, std::string& key);

// Appends the segment of key column `column` for a value in the form the reader decodes values
// (Value): an integer for Byte, Integer, Long, 64-bit and Yes/No (0 or 1) columns, a Money
// integer for Currency, a real number for Single, Double and Date/Time, decimal text for
// Decimal, 16 bytes for Replication IDs, UTF-8 for Text, or NULL. False when the column's
// key cannot hold that value exactly: another kind of value, a number outside the column's
// range or between its values, decimal text beyond its scale, or text with a character whose
// code Access's keys are not known to use (the key is then incomplete).
bool AppendValueKey(const Column& column, const Value& value, bool ascending, std::string& key);

// Compares the key part `key` of an index entry with a bound given as the key bytes of the
// index's leading columns: <0, 0 or >0 as the entry's leading columns sort before, equal to or
// after the bound.
int CompareKeyPrefix(std::string_view key, std::string_view bound);

}  // namespace jet
