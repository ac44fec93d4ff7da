// Text as Jet 4 stores it: UTF-16LE, or the compressed form when that is shorter.
//
// The compressed form starts with FF FE and then alternates between a narrow mode (one byte per
// character whose high byte is zero) and a wide mode (two bytes per character), each 00 byte
// switching modes. A character whose low byte is zero (U+0100, U+4E00, ...) would read as a
// switch, so text holding one is always stored uncompressed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mkmdb {

// Whether the compressed form can hold `text`.
bool CompressionAllowed(std::u16string_view text);

// Appends the stored form of `text`: compressed when `allow_compression`, CompressionAllowed and
// shorter, otherwise UTF-16LE. Uncompressed text must not begin with the bytes FF FE that mark
// the compressed form, so text starting with U+FEFF is compressed whenever it can be; when it
// cannot, nothing is appended and the result is false.
bool EncodeJetText(std::u16string_view text, bool allow_compression,
                   std::vector<std::uint8_t>& out);

// Plain UTF-16LE bytes, as column and table names are stored.
std::vector<std::uint8_t> Utf16Bytes(std::u16string_view text);

}  // namespace mkmdb
