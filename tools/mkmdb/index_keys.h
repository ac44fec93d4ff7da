// The bytes an index entry holds for a column value, so that entries sort by their bytes in the
// order of the values: a flag byte, then the value in a sortable form.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace mkmdb {

// A Long: big-endian with the sign bit flipped.
void AppendLongKey(std::int32_t value, std::vector<std::uint8_t>& key);

// Text under the General sort order: each character's sort code (letters of either case share
// one), then the end markers. Case is folded first for every script, so names that differ only
// in letter case get one key, as they are one name.
//
// The codes of jet::TextKeyCode are those Access writes (k, q and z inferred). A character
// without one (other punctuation, letters outside ASCII) is written as three bytes from 0xE0
// up, holding its UTF-16 code unit: such keys keep distinct names apart and sort after the
// ASCII letters, but are not the bytes Access would write, which are not known here.
void AppendTextKey(std::u16string_view text, std::vector<std::uint8_t>& key);

}  // namespace mkmdb
