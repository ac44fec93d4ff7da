#include "text_decoding.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "format.h"
#include "text/utf.h"

namespace jet {
namespace {

using textconv::kReplacement;
using textconv::PutUtf8;

// Writes one UTF-16 code unit; `pending` carries a high surrogate to the next unit. A
// surrogate without its partner becomes U+FFFD.
char* PutUnit(char16_t unit, char16_t& pending, char* at) {
  if (pending != 0) {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      const char32_t c =
          0x10000 + ((static_cast<char32_t>(pending) - 0xD800) << 10) + (unit - 0xDC00);
      pending = 0;
      return PutUtf8(c, at);
    }
    at = PutUtf8(kReplacement, at);
    pending = 0;
  }
  if (unit >= 0xD800 && unit <= 0xDBFF) {
    pending = unit;
    return at;
  }
  return PutUtf8(unit >= 0xDC00 && unit <= 0xDFFF ? kReplacement : unit, at);
}

// Compressed text: narrow runs hold characters below U+0100 one byte each; a 00 byte
// switches to a run of 2-byte characters and back. False on half a wide character.
bool PutCompressed(const std::uint8_t* data, std::size_t size, char*& at) {
  bool narrow = true;
  char16_t pending = 0;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t byte = data[i];
    if (byte == 0) {
      narrow = !narrow;
      ++i;
    } else if (narrow) {
      if (pending != 0) {
        at = PutUtf8(kReplacement, at);
        pending = 0;
      }
      if (byte < 0x80) {
        *at++ = static_cast<char>(byte);
      } else {
        *at++ = static_cast<char>(0xC0 | (byte >> 6));
        *at++ = static_cast<char>(0x80 | (byte & 0x3F));
      }
      ++i;
    } else {
      if (i + 1 >= size) return false;
      at = PutUnit(static_cast<char16_t>(GetU16(data + i)), pending, at);
      i += 2;
    }
  }
  if (pending != 0) at = PutUtf8(kReplacement, at);
  return true;
}

void PutUtf16(const std::uint8_t* data, std::size_t size, char*& at) {
  char16_t pending = 0;
  for (std::size_t i = 0; i < size; i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit < 0x80 && pending == 0) {
      *at++ = static_cast<char>(unit);
    } else {
      at = PutUnit(unit, pending, at);
    }
  }
  if (pending != 0) at = PutUtf8(kReplacement, at);
}

// Whether every byte lies in 01..7F. Eight bytes at a time: with no byte 00 nothing borrows,
// so a byte's top bit is set in (w - 0x01..01) | w exactly when that byte is 00 or above 7F (a
// borrow can only start at a 00 byte, which is caught itself).
bool AllAsciiNonZero(const std::uint8_t* data, std::size_t size) {
  constexpr std::uint64_t kOnes = 0x0101010101010101u;
  constexpr std::uint64_t kTops = 0x8080808080808080u;
  const auto wordOk = [&](std::size_t at) {
    std::uint64_t word;
    std::memcpy(&word, data + at, sizeof word);
    return (((word - kOnes) | word) & kTops) == 0;
  };
  if (size < 8) {
    std::uint8_t highest = 0;
    for (std::size_t i = 0; i < size; ++i) highest = std::max(highest, static_cast<std::uint8_t>(data[i] - 1));
    return highest < 0x7F;
  }
  for (std::size_t i = 0; i + 8 <= size; i += 8) {
    if (!wordOk(i)) return false;
  }
  return wordOk(size - 8);  // the last bytes, overlapping the last whole word
}

}  // namespace

bool AppendJet4Text(const std::uint8_t* data, std::size_t size, std::string& out) {
  const bool compressed =
      size >= 2 && data[0] == kCompressedTextMarker[0] && data[1] == kCompressedTextMarker[1];
  if (compressed) {
    // Compressed text of ASCII characters only (bytes 01..7F), the common case, is copied as
    // it is: byte - 1 stays below 0x7F exactly for those.
    if (AllAsciiNonZero(data + 2, size - 2)) {
      out.append(reinterpret_cast<const char*>(data) + 2, size - 2);
      return true;
    }
  } else if (size % 2 != 0) {
    return false;
  }
  // UTF-8 takes at most 2 bytes per narrow byte and 3 per 2-byte unit (4 per pair).
  const std::size_t start = out.size();
  out.resize(start + 2 * size + 4);
  char* at = out.data() + start;
  bool ok = true;
  if (compressed) {
    ok = PutCompressed(data + 2, size - 2, at);
  } else {
    PutUtf16(data, size, at);
  }
  out.resize(ok ? static_cast<std::size_t>(at - out.data()) : start);
  return ok;
}

std::unique_ptr<CodePageText> CodePageText::Make(int codePage, std::string& error) {
  const std::string name = "CP" + std::to_string(codePage);
  iconv_t converter = iconv_open("UTF-8", name.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    error = "the file's code page " + std::to_string(codePage) + " is not known to this system";
    return nullptr;
  }
  std::unique_ptr<CodePageText> text(new CodePageText);
  text->converter_ = converter;
  for (unsigned byte = 0; byte < 256; ++byte) {
    auto& entry = text->table_[byte];
    if (byte < 0x80) {
      entry = {static_cast<char>(byte), 0, 0, 1};
      continue;
    }
    char in[1] = {static_cast<char>(byte)};
    char utf8[8];
    char* from = in;
    std::size_t fromLeft = 1;
    char* to = utf8;
    std::size_t toLeft = sizeof utf8;
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    const std::size_t result = iconv(converter, &from, &fromLeft, &to, &toLeft);
    const std::size_t length = sizeof utf8 - toLeft;
    if (result == static_cast<std::size_t>(-1) && errno == EINVAL) {
      text->singleByte_ = false;  // the byte starts a sequence of several
      break;
    }
    if (result == static_cast<std::size_t>(-1) || length == 0 || length > 3) {
      entry = {'\xEF', '\xBF', '\xBD', 3};  // U+FFFD: the code page leaves the byte undefined
    } else {
      entry = {utf8[0], length > 1 ? utf8[1] : '\0', length > 2 ? utf8[2] : '\0',
               static_cast<char>(length)};
    }
  }
  return text;
}

CodePageText::~CodePageText() {
  if (converter_ != reinterpret_cast<iconv_t>(-1)) iconv_close(converter_);
}

void CodePageText::Append(const std::uint8_t* data, std::size_t size, std::string& out) const {
  if (singleByte_) {
    out.reserve(out.size() + size);
    for (std::size_t i = 0; i < size; ++i) {
      const auto& entry = table_[data[i]];
      out.append(entry.data(), static_cast<std::size_t>(entry[3]));
    }
    return;
  }
  std::lock_guard<std::mutex> lock(converterLock_);
  iconv(converter_, nullptr, nullptr, nullptr, nullptr);
  char* from = reinterpret_cast<char*>(const_cast<std::uint8_t*>(data));
  std::size_t fromLeft = size;
  char buffer[256];
  while (fromLeft > 0) {
    char* to = buffer;
    std::size_t toLeft = sizeof buffer;
    const std::size_t result = iconv(converter_, &from, &fromLeft, &to, &toLeft);
    out.append(buffer, sizeof buffer - toLeft);
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An undefined or cut-off sequence: replace its first byte and go on after it.
      textconv::AppendUtf8(out, kReplacement);
      ++from;
      --fromLeft;
      iconv(converter_, nullptr, nullptr, nullptr, nullptr);
    }
  }
}

}  // namespace jet
