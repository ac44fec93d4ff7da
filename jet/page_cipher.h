// How the pages of an encrypted file are stored: each page but the first (the file header) is
// enciphered on its own, with a key or an initialization vector that depends on its number, so
// that any page can be read alone. The writer uses the same objects the other way round.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace jet {

class PageCipher {
 public:
  virtual ~PageCipher() = default;
  // Turns the stored bytes of page `number` into its plain bytes in place. False with `error`
  // set when the cryptography library fails.
  virtual bool Decrypt(std::uint32_t number, std::span<std::uint8_t> page,
                       std::string& error) const = 0;
  // The reverse: plain bytes to the bytes a file stores.
  virtual bool Encrypt(std::uint32_t number, std::span<std::uint8_t> page,
                       std::string& error) const = 0;
};

}  // namespace jet
