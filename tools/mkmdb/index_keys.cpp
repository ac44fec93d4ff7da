#include "index_keys.h"

#include "jet/case_fold.h"
#include "jet/format.h"

namespace mkmdb {

void AppendLongKey(std::int32_t value, std::vector<std::uint8_t>& key) {
  const std::uint32_t flipped = static_cast<std::uint32_t>(value) ^ 0x80000000u;
  key.push_back(jet::kKeyAscending);
  for (int shift = 24; shift >= 0; shift -= 8) {
    key.push_back(static_cast<std::uint8_t>(flipped >> shift));
  }
}

void AppendTextKey(std::u16string_view text, std::vector<std::uint8_t>& key) {
  key.push_back(jet::kKeyAscending);
  for (char16_t c : jet::FoldCase(text)) {
    std::uint8_t code[2] = {};
    const std::size_t size = jet::TextKeyCode(c, code);
    if (size > 0) {
      key.insert(key.end(), code, code + size);
    } else {
      // Like UTF-8's three-byte form: no zero byte, order kept, above every known code.
      key.push_back(static_cast<std::uint8_t>(0xE0 | (c >> 12)));
      key.push_back(static_cast<std::uint8_t>(0x80 | ((c >> 6) & 0x3F)));
      key.push_back(static_cast<std::uint8_t>(0x80 | (c & 0x3F)));
    }
  }
  key.push_back(jet::kTextKeyEnd);
  key.push_back(jet::kTextKeyExtrasEnd);
}

}  // namespace mkmdb
