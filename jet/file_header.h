// Page 0 of a file: which version of the format it is, its code page, and whether its pages
// are encrypted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "database.h"
#include "format.h"

namespace jet {

struct FileHeader {
  Version version = Version::Jet4;
  const FileLayout* layout = &kJet4Layout;
  int codePage = 0;
  std::uint32_t databaseKey = 0;
};

// How many bytes of the file ParseFileHeader needs.
inline constexpr std::size_t kFileHeaderBytes = kHeaderSettingsOffset + kHeaderSettingsSize;

// Reads the header from the first bytes of a file. False with `error` set when they are not
// the header of a file this reader can read (an encrypted file included).
bool ParseFileHeader(const std::uint8_t* bytes, std::size_t size, FileHeader& out,
                     std::string& error);

}  // namespace jet
