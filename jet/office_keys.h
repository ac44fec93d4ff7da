// Keys of the Office encryption forms, made from a password as [MS-OFFCRYPTO] describes them
// (sections 2.3.5.2 for RC4 CryptoAPI, 2.3.4.7 for the standard form, 2.3.4.11 and 2.3.4.12
// for the agile form), for the reader and the writer alike. Passwords are UTF-16LE bytes.
#pragma once

#include <array>
#include <cstdint>

#include "crypto_library.h"

namespace jet {

// The block key of page `number`: the header's database key XOR the page number, 4 bytes
// little-endian. Block 0 (all zero) keys the password verifier of the binary forms.
std::array<std::uint8_t, 4> PageBlockKey(std::uint32_t databaseKey, std::uint32_t number);

// The block keys of the agile form's password key encryptor.
inline constexpr std::uint8_t kAgileVerifierInputBlock[8] = {0xFE, 0xA7, 0xD2, 0x76,
                                                             0x3B, 0x4B, 0x9E, 0x79};
inline constexpr std::uint8_t kAgileVerifierValueBlock[8] = {0xD7, 0xAA, 0x0F, 0x6D,
                                                             0x30, 0x61, 0x34, 0x4E};
inline constexpr std::uint8_t kAgileKeyValueBlock[8] = {0x14, 0x6E, 0x0B, 0xE7,
                                                        0xAB, 0xAC, 0xD0, 0xD6};

// Rounds of SHA-1 the standard form stretches its password hash with.
inline constexpr std::uint32_t kStandardSpinCount = 50'000;

// The password hash every later key comes from: H(salt + password), stretched `rounds` times
// (0 for RC4 CryptoAPI, kStandardSpinCount for the standard form, spinCount for agile).
bool PasswordHash(const CryptoLibrary& crypto, HashKind kind, ByteView salt, ByteView password,
                  std::uint32_t rounds, Bytes& out);

// RC4 CryptoAPI: the first keyBits of SHA-1(hash + block); a 40-bit key is padded with zeros
// to 128 bits.
bool Rc4CryptoApiKey(const CryptoLibrary& crypto, ByteView hash, std::uint32_t keyBits,
                     ByteView block, Bytes& key);

// Standard: SHA-1(hash + block) widened through the 0x36 and 0x5C pads, cut to keyBits.
bool StandardKey(const CryptoLibrary& crypto, ByteView hash, std::uint32_t keyBits,
                 ByteView block, Bytes& key);

// Agile: H(hash + block) cut to keyBits, or padded with 0x36 bytes when shorter.
bool AgileKey(const CryptoLibrary& crypto, HashKind kind, ByteView hash, std::size_t keyBits,
              ByteView block, Bytes& key);

// Agile: the initialization vector of a block, H(salt + block), or the salt itself when there
// is no block key; cut to the cipher's block size or padded with 0x36 bytes.
bool AgileIv(const CryptoLibrary& crypto, HashKind kind, ByteView salt, ByteView block,
             std::size_t blockSize, Bytes& iv);

}  // namespace jet
