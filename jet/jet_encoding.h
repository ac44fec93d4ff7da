// The page encoding of Jet 3 and Jet 4 files ("encode database"): the header names a 32-bit
// database key, and every page n but page 0 is RC4 with the key (database key XOR n) as
// 4 little-endian bytes. It needs no password; a database password is a separate matter.
#pragma once

#include <cstdint>

#include "page_cipher.h"

namespace jet {

class JetEncoding : public PageCipher {
 public:
  explicit JetEncoding(std::uint32_t databaseKey) : key_(databaseKey) {}
  bool Decrypt(std::uint32_t number, std::span<std::uint8_t> page,
               std::string& error) const override;
  bool Encrypt(std::uint32_t number, std::span<std::uint8_t> page,
               std::string& error) const override;

 private:
  std::uint32_t key_;
};

}  // namespace jet
