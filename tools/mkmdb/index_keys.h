// The key bytes of the system tables' index entries (Long and Text columns, ascending), in the
// forms jet/index_key.h describes.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace mkmdb {

void AppendLongKey(std::int32_t value, std::vector<std::uint8_t>& key);

// Text under the General sort order, letter case folded in every script: names that differ only
// in letter case get one key, as they are one name. Characters without a known code get keys
// that keep distinct names apart and in order but are not the bytes Access would write.
void AppendTextKey(std::u16string_view text, std::vector<std::uint8_t>& key);

}  // namespace mkmdb
