#include "jet_text.h"


#include "jet/format.h"

namespace mkmdb {

bool CompressionAllowed(std::u16string_view text) {
  for (char16_t c : text) {
    if ((c & 0xFF) == 0) return false;
  }
  return true;
}

namespace {

std::size_t CompressedSize(std::u16string_view text) {
  std::size_t size = 2;
  bool narrow = true;
  for (char16_t c : text) {
    bool fits_narrow = c < 0x100;
    if (fits_narrow != narrow) {
      ++size;
      narrow = fits_narrow;
    }
    size += narrow ? 1 : 2;
  }
  return size;
}

}  // namespace

bool EncodeJetText(std::u16string_view text, bool allow_compression,
                   std::vector<std::uint8_t>& out) {
  const bool marker_clash = !text.empty() && text.front() == u'\uFEFF';
  const bool can_compress = allow_compression && CompressionAllowed(text);
  if (marker_clash && !can_compress) return false;
  const std::size_t compressed = can_compress ? CompressedSize(text) : 0;
  const std::size_t start = out.size();
  if (can_compress && (marker_clash || compressed < 2 * text.size())) {
    out.resize(start + compressed);
    std::uint8_t* at = out.data() + start;
    *at++ = 0xFF;
    *at++ = 0xFE;
    bool narrow = true;
    for (char16_t c : text) {
      const bool fits_narrow = c < 0x100;
      if (fits_narrow != narrow) {
        *at++ = 0x00;
        narrow = fits_narrow;
      }
      *at++ = static_cast<std::uint8_t>(c);
      if (!narrow) *at++ = static_cast<std::uint8_t>(c >> 8);
    }
    return true;
  }
  if (text.empty()) return true;
  out.resize(start + 2 * text.size());
  std::memcpy(out.data() + start, text.data(), 2 * text.size());  // little-endian host
  return true;
}

std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(2 * text.size());
  for (char16_t c : text) jet::AppendU16(out, c);
  return out;
}

}  // namespace mkmdb
