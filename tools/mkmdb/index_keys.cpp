#include "index_keys.h"

#include <string>

#include "jet/format.h"
#include "jet/index_key.h"

namespace mkmdb {

void AppendLongKey(std::int32_t value, std::vector<std::uint8_t>& key) {
  std::uint8_t stored[4];
  jet::PutU32(stored, static_cast<std::uint32_t>(value));
  std::string bytes;
  jet::AppendStoredKey(jet::ColumnType::Long, stored, true, bytes);
  key.insert(key.end(), bytes.begin(), bytes.end());
}

void AppendTextKey(std::u16string_view text, std::vector<std::uint8_t>& key) {
  std::string bytes;
  jet::AppendTextKey(text, true, bytes);
  key.insert(key.end(), bytes.begin(), bytes.end());
}

}  // namespace mkmdb
