// Page 0 of a Jet 4 file: the signature, the engine version, the masked settings block with the
// creation date, the description of an Office encryption, and the tail Access leaves from
// 0xE00.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/format.h"

namespace mkmdb {

struct HeaderProtection {
  std::uint32_t databaseKey = 0;  // 0: the pages are plain
  std::string password;           // the database password field (UTF-8); empty: none
  bool accdb = false;             // the signature and version of an Access 2007 file
  std::vector<std::uint8_t> encryptionDescription;  // Office encryption; empty: none
};

// `created`: the creation time as a day number (days since 1899-12-30, time as the fraction),
// on or after that day. Throws WriterError for a password the field cannot hold.
jet::Page BuildFileHeader(double created, const HeaderProtection& protection = {});

}  // namespace mkmdb
