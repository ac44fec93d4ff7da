// Page 0 of a file: which version of the format it is, its code page, the key its pages are
// encrypted with (0: they are not) and its database password as stored.
#pragma once

#include <array>
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
  // Jet 4 and later: the creation date as a day number, whose whole days mask the password.
  double creationDate = 0;
  // The password field: Jet 3 keeps 20 bytes of text in the code page, Jet 4 and later 40
  // bytes of UTF-16LE masked with the creation date; both padded with zeros.
  std::array<std::uint8_t, kHeaderPasswordSize> storedPassword{};
  std::size_t storedPasswordSize = 0;
};

// How many bytes of the file ParseFileHeader needs.
inline constexpr std::size_t kFileHeaderBytes = kHeaderSettingsOffset + kHeaderSettingsSize;

// Reads the header from the first bytes of a file. False with `error` set when they are not
// the header of a file this reader can read.
bool ParseFileHeader(const std::uint8_t* bytes, std::size_t size, FileHeader& out,
                     std::string& error);

}  // namespace jet
