#include "jet_encoding.h"

#include "format.h"
#include "rc4.h"

namespace jet {

bool JetEncoding::Decrypt(std::uint32_t number, std::span<std::uint8_t> page,
                          std::string&) const {
  std::uint8_t key[4];
  PutU32(key, key_ ^ number);
  Rc4Apply(key, page);
  return true;
}

bool JetEncoding::Encrypt(std::uint32_t number, std::span<std::uint8_t> page,
                          std::string& error) const {
  return Decrypt(number, page, error);  // RC4 is its own inverse
}

}  // namespace jet
