// The hashes, AES and Base64 of OpenSSL's libcrypto, which the library opens only the first
// time a file encrypted by Access 2007 or later is met (or the writer makes one): reading plain
// files, and starting any program that links the reader, maps no cryptography library.
// Everything here may be called from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

enum class HashKind : std::uint8_t { Sha1, Sha256, Sha384, Sha512 };
inline constexpr std::size_t kMaxHashSize = 64;
std::size_t HashSize(HashKind kind);
const char* HashName(HashKind kind);

enum class ChainingMode : std::uint8_t { Ecb, Cbc };

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

class CryptoLibrary {
 public:
  // The library, loaded on the first call. Null with `error` saying why when it cannot be
  // opened or lacks what is needed; a later call tries no more and says the same.
  static const CryptoLibrary* Get(std::string& error);

  // The hash of the concatenation of `parts` into `out` (HashSize(kind) bytes).
  bool Hash(HashKind kind, std::initializer_list<ByteView> parts, std::uint8_t* out) const;
  // Replaces `value` (HashSize(kind) bytes) by the hash of a 4-byte little-endian counter and
  // itself, `rounds` times, the counter going from 0: the stretching of a password hash.
  bool Stretch(HashKind kind, std::uint32_t rounds, std::uint8_t* value) const;
  // AES with a key of 16, 24 or 32 bytes over `data` in place, a whole number of 16-byte
  // blocks; `iv` (16 bytes) is used by Cbc only.
  bool Aes(bool encrypt, ChainingMode mode, ByteView key, const std::uint8_t* iv,
           std::span<std::uint8_t> data) const;
  // Base64 text to bytes; false when the text is not Base64.
  bool Base64Decode(std::string_view text, Bytes& out) const;
  std::string Base64Encode(ByteView bytes) const;

  struct Functions;
  ~CryptoLibrary();
  CryptoLibrary(const CryptoLibrary&) = delete;
  CryptoLibrary& operator=(const CryptoLibrary&) = delete;

 private:
  CryptoLibrary() = default;
  const Functions* functions_ = nullptr;
  void* digests_[4] = {};  // fetched once, by HashKind
  void* ciphers_[2][3] = {};  // fetched once, by ChainingMode and key size
};

}  // namespace jet
