// Stored text to UTF-8: Jet 4 text (UTF-16LE, or its compressed form) and Jet 3 text in the
// file's code page.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include <iconv.h>

namespace jet {

// Appends the UTF-8 form of stored Jet 4 text to `out`. A lone surrogate becomes U+FFFD.
// False when the bytes cannot be text: an odd number of bytes in UTF-16.
bool AppendJet4Text(const std::uint8_t* data, std::size_t size, std::string& out);

// Text in one code page, for Jet 3 files. Single-byte code pages decode through a table made
// once; others through iconv, one conversion at a time.
class CodePageText {
 public:
  // Null with `error` set when the system has no converter for the code page.
  static std::unique_ptr<CodePageText> Make(int codePage, std::string& error);
  ~CodePageText();
  CodePageText(const CodePageText&) = delete;
  CodePageText& operator=(const CodePageText&) = delete;

  // Appends the UTF-8 form of `data`; a byte sequence the code page does not define becomes
  // U+FFFD.
  void Append(const std::uint8_t* data, std::size_t size, std::string& out) const;

 private:
  CodePageText() = default;

  bool singleByte_ = true;
  // UTF-8 of each byte: up to 3 bytes and the length in the last.
  std::array<std::array<char, 4>, 256> table_{};
  iconv_t converter_ = reinterpret_cast<iconv_t>(-1);
  mutable std::mutex converterLock_;
};

}  // namespace jet
