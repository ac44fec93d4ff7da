// The Office encryption of a written file: the description page 0 carries after its settings
// (jet/encryption_info.h) and the cipher of the other pages, both made from the password with
// fresh random salts, verifier and keys, as Access 2007 and later make them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "jet/page_cipher.h"
#include "mdb_writer.h"

namespace mkmdb {

struct OfficeEncryption {
  std::vector<std::uint8_t> description;  // the u16 length and the EncryptionInfo structure
  std::unique_ptr<jet::PageCipher> cipher;
};

// Throws WriterError when the password is empty, longer than 255 UTF-16 code units or not
// UTF-8, or the cryptography library cannot be loaded.
OfficeEncryption MakeOfficeEncryption(Encryption form, const std::string& password,
                                      std::uint32_t databaseKey, std::uint32_t spinCount);

}  // namespace mkmdb
