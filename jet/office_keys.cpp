#include "office_keys.h"

#include "format.h"

namespace jet {
namespace {

// `bytes` cut to `size`, or padded with 0x36 bytes up to it.
void Fit(Bytes& bytes, std::size_t size) { bytes.resize(size, 0x36); }

}  // namespace

std::array<std::uint8_t, 4> PageBlockKey(std::uint32_t databaseKey, std::uint32_t number) {
  std::array<std::uint8_t, 4> block;
  PutU32(block.data(), databaseKey ^ number);
  return block;
}

bool PasswordHash(const CryptoLibrary& crypto, HashKind kind, ByteView salt, ByteView password,
                  std::uint32_t rounds, Bytes& out) {
  out.resize(HashSize(kind));
  return crypto.Hash(kind, {salt, password}, out.data()) &&
         crypto.Stretch(kind, rounds, out.data());
}

bool Rc4CryptoApiKey(const CryptoLibrary& crypto, ByteView hash, std::uint32_t keyBits,
                     ByteView block, Bytes& key) {
  std::uint8_t final[kMaxHashSize];
  if (keyBits < 40 || keyBits > 160 || !crypto.Hash(HashKind::Sha1, {hash, block}, final)) {
    return false;
  }
  key.assign(final, final + keyBits / 8);
  if (keyBits == 40) key.resize(16, 0);
  return true;
}

bool StandardKey(const CryptoLibrary& crypto, ByteView hash, std::uint32_t keyBits,
                 ByteView block, Bytes& key) {
  constexpr std::size_t kPad = 64, kSha1 = 20;
  std::uint8_t final[kMaxHashSize];
  if (keyBits / 8 > 2 * kSha1 || !crypto.Hash(HashKind::Sha1, {hash, block}, final)) {
    return false;
  }
  std::uint8_t inner[kPad], outer[kPad];
  for (std::size_t i = 0; i < kPad; ++i) {
    inner[i] = static_cast<std::uint8_t>(0x36 ^ (i < kSha1 ? final[i] : 0));
    outer[i] = static_cast<std::uint8_t>(0x5C ^ (i < kSha1 ? final[i] : 0));
  }
  std::uint8_t both[2 * kSha1];
  if (!crypto.Hash(HashKind::Sha1, {ByteView(inner)}, both) ||
      !crypto.Hash(HashKind::Sha1, {ByteView(outer)}, both + kSha1)) {
    return false;
  }
  key.assign(both, both + keyBits / 8);
  return true;
}

bool AgileKey(const CryptoLibrary& crypto, HashKind kind, ByteView hash, std::size_t keyBits,
              ByteView block, Bytes& key) {
  key.resize(HashSize(kind));
  if (!crypto.Hash(kind, {hash, block}, key.data())) return false;
  Fit(key, keyBits / 8);
  return true;
}

bool AgileIv(const CryptoLibrary& crypto, HashKind kind, ByteView salt, ByteView block,
             std::size_t blockSize, Bytes& iv) {
  if (block.empty()) {
    iv.assign(salt.begin(), salt.end());
  } else {
    iv.resize(HashSize(kind));
    if (!crypto.Hash(kind, {salt, block}, iv.data())) return false;
  }
  Fit(iv, blockSize);
  return true;
}

}  // namespace jet
