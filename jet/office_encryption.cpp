#include "office_encryption.h"

#include <algorithm>
#include <cstring>

#include "office_keys.h"
#include "rc4.h"

namespace jet {
namespace {

constexpr char kLibraryFailed[] = "the cryptography library failed to decipher page ";

class Rc4CryptoApiCipher : public PageCipher {
 public:
  Rc4CryptoApiCipher(const CryptoLibrary& crypto, Bytes hash, std::uint32_t keyBits,
                     std::uint32_t databaseKey)
      : crypto_(crypto), hash_(std::move(hash)), keyBits_(keyBits), databaseKey_(databaseKey) {}
  bool Decrypt(std::uint32_t number, std::span<std::uint8_t> page,
               std::string& error) const override {
    Bytes key;
    if (!Rc4CryptoApiKey(crypto_, hash_, keyBits_, PageBlockKey(databaseKey_, number), key)) {
      error = kLibraryFailed + std::to_string(number);
      return false;
    }
    Rc4Apply(key, page);
    return true;
  }
  bool Encrypt(std::uint32_t number, std::span<std::uint8_t> page,
               std::string& error) const override {
    return Decrypt(number, page, error);
  }

 private:
  const CryptoLibrary& crypto_;
  const Bytes hash_;
  const std::uint32_t keyBits_;
  const std::uint32_t databaseKey_;
};

// The AES forms: deciphering and enciphering a page are one routine in either direction.
class AesPageCipher : public PageCipher {
 public:
  bool Decrypt(std::uint32_t number, std::span<std::uint8_t> page,
               std::string& error) const final {
    return Apply(false, number, page, error);
  }
  bool Encrypt(std::uint32_t number, std::span<std::uint8_t> page,
               std::string& error) const final {
    return Apply(true, number, page, error);
  }

 private:
  virtual bool Apply(bool encrypt, std::uint32_t number, std::span<std::uint8_t> page,
                     std::string& error) const = 0;
};

// The standard form: AES in ECB mode with a key of its own for every page.
class StandardCipher : public AesPageCipher {
 public:
  StandardCipher(const CryptoLibrary& crypto, Bytes hash, std::uint32_t keyBits,
                 std::uint32_t databaseKey)
      : crypto_(crypto), hash_(std::move(hash)), keyBits_(keyBits), databaseKey_(databaseKey) {}
 private:
  bool Apply(bool encrypt, std::uint32_t number, std::span<std::uint8_t> page,
             std::string& error) const override {
    Bytes key;
    if (!StandardKey(crypto_, hash_, keyBits_, PageBlockKey(databaseKey_, number), key) ||
        !crypto_.Aes(encrypt, ChainingMode::Ecb, key, nullptr, page)) {
      error = kLibraryFailed + std::to_string(number);
      return false;
    }
    return true;
  }

  const CryptoLibrary& crypto_;
  const Bytes hash_;
  const std::uint32_t keyBits_;
  const std::uint32_t databaseKey_;
};

// The agile form: AES in CBC mode with one secret key, each page with an initialization vector
// of its own.
class AgileCipher : public AesPageCipher {
 public:
  AgileCipher(const CryptoLibrary& crypto, HashKind kind, Bytes key, Bytes salt,
              std::uint32_t databaseKey)
      : crypto_(crypto), kind_(kind), key_(std::move(key)), salt_(std::move(salt)),
        databaseKey_(databaseKey) {}
 private:
  bool Apply(bool encrypt, std::uint32_t number, std::span<std::uint8_t> page,
             std::string& error) const override {
    Bytes iv;
    if (!AgileIv(crypto_, kind_, salt_, PageBlockKey(databaseKey_, number), 16, iv) ||
        !crypto_.Aes(encrypt, ChainingMode::Cbc, key_, iv.data(), page)) {
      error = kLibraryFailed + std::to_string(number);
      return false;
    }
    return true;
  }

  const CryptoLibrary& crypto_;
  const HashKind kind_;
  const Bytes key_;
  const Bytes salt_;
  const std::uint32_t databaseKey_;
};

constexpr std::array<std::uint8_t, 4> kVerifierBlock{};

UnlockOutcome Rc4CryptoApi(const BinaryEncryption& info, const CryptoLibrary& crypto,
                           std::uint32_t databaseKey, ByteView password,
                           std::unique_ptr<PageCipher>& cipher) {
  Bytes hash, key;
  if (!PasswordHash(crypto, HashKind::Sha1, info.salt, password, 0, hash) ||
      !Rc4CryptoApiKey(crypto, hash, info.keyBits, kVerifierBlock, key)) {
    return UnlockOutcome::Failed;
  }
  // The verifier and its hash are one RC4 stream.
  Bytes verifier(info.encryptedVerifier);
  verifier.insert(verifier.end(), info.encryptedVerifierHash.begin(),
                  info.encryptedVerifierHash.end());
  Rc4Apply(key, verifier);
  std::uint8_t expected[kMaxHashSize];
  if (!crypto.Hash(HashKind::Sha1, {ByteView(verifier).first(kVerifierSize)}, expected)) {
    return UnlockOutcome::Failed;
  }
  if (std::memcmp(expected, verifier.data() + kVerifierSize, 20) != 0) {
    return UnlockOutcome::WrongPassword;
  }
  cipher = Rc4CryptoApiPages(crypto, std::move(hash), info.keyBits, databaseKey);
  return UnlockOutcome::Unlocked;
}

UnlockOutcome Standard(const BinaryEncryption& info, const CryptoLibrary& crypto,
                       std::uint32_t databaseKey, ByteView password,
                       std::unique_ptr<PageCipher>& cipher) {
  Bytes hash, key;
  if (!PasswordHash(crypto, HashKind::Sha1, info.salt, password, kStandardSpinCount, hash) ||
      !StandardKey(crypto, hash, info.keyBits, kVerifierBlock, key)) {
    return UnlockOutcome::Failed;
  }
  Bytes verifier(info.encryptedVerifier), verifierHash(info.encryptedVerifierHash);
  std::uint8_t expected[kMaxHashSize];
  if (!crypto.Aes(false, ChainingMode::Ecb, key, nullptr, verifier) ||
      !crypto.Aes(false, ChainingMode::Ecb, key, nullptr, verifierHash) ||
      !crypto.Hash(HashKind::Sha1, {ByteView(verifier)}, expected)) {
    return UnlockOutcome::Failed;
  }
  if (std::memcmp(expected, verifierHash.data(), 20) != 0) return UnlockOutcome::WrongPassword;
  cipher = StandardPages(crypto, std::move(hash), info.keyBits, databaseKey);
  return UnlockOutcome::Unlocked;
}

// Deciphers one value the password key encryptor keeps, keyed by its block key.
bool PasswordKeyValue(const CryptoLibrary& crypto, const AgileEncryption& info, ByteView hash,
                      ByteView block, const Bytes& stored, Bytes& out) {
  Bytes key, iv;
  out = stored;
  return AgileKey(crypto, info.password.hash, hash, info.password.keyBits, block, key) &&
         AgileIv(crypto, info.password.hash, info.password.salt, {}, info.password.blockSize,
                 iv) &&
         crypto.Aes(false, ChainingMode::Cbc, key, iv.data(), out);
}

UnlockOutcome Agile(const AgileEncryption& info, const CryptoLibrary& crypto,
                    std::uint32_t databaseKey, ByteView password,
                    std::unique_ptr<PageCipher>& cipher) {
  Bytes hash, input, value, secret;
  if (!PasswordHash(crypto, info.password.hash, info.password.salt, password, info.spinCount,
                    hash) ||
      !PasswordKeyValue(crypto, info, hash, kAgileVerifierInputBlock,
                        info.encryptedVerifierHashInput, input) ||
      !PasswordKeyValue(crypto, info, hash, kAgileVerifierValueBlock,
                        info.encryptedVerifierHashValue, value)) {
    return UnlockOutcome::Failed;
  }
  const std::size_t hashSize = HashSize(info.password.hash);
  std::uint8_t expected[kMaxHashSize];
  if (!crypto.Hash(info.password.hash, {ByteView(input).first(info.password.salt.size())},
                   expected)) {
    return UnlockOutcome::Failed;
  }
  if (std::memcmp(expected, value.data(), hashSize) != 0) return UnlockOutcome::WrongPassword;
  if (!PasswordKeyValue(crypto, info, hash, kAgileKeyValueBlock, info.encryptedKeyValue,
                        secret)) {
    return UnlockOutcome::Failed;
  }
  secret.resize(info.data.keyBits / 8);
  cipher = AgilePages(crypto, info.data.hash, std::move(secret), info.data.salt, databaseKey);
  return UnlockOutcome::Unlocked;
}

}  // namespace

std::unique_ptr<PageCipher> Rc4CryptoApiPages(const CryptoLibrary& crypto, Bytes hash,
                                              std::uint32_t keyBits, std::uint32_t databaseKey) {
  return std::make_unique<Rc4CryptoApiCipher>(crypto, std::move(hash), keyBits, databaseKey);
}

std::unique_ptr<PageCipher> StandardPages(const CryptoLibrary& crypto, Bytes hash,
                                          std::uint32_t keyBits, std::uint32_t databaseKey) {
  return std::make_unique<StandardCipher>(crypto, std::move(hash), keyBits, databaseKey);
}

std::unique_ptr<PageCipher> AgilePages(const CryptoLibrary& crypto, HashKind kind,
                                       Bytes secretKey, Bytes salt, std::uint32_t databaseKey) {
  return std::make_unique<AgileCipher>(crypto, kind, std::move(secretKey), std::move(salt),
                                       databaseKey);
}

UnlockOutcome UnlockOfficeEncryption(const EncryptionInfo& info, const CryptoLibrary& crypto,
                                     std::uint32_t databaseKey, ByteView password,
                                     std::unique_ptr<PageCipher>& cipher, std::string& error) {
  UnlockOutcome outcome = UnlockOutcome::Failed;
  switch (info.form) {
    case OfficeForm::Rc4CryptoApi:
      outcome = Rc4CryptoApi(info.binary, crypto, databaseKey, password, cipher);
      break;
    case OfficeForm::Standard:
      outcome = Standard(info.binary, crypto, databaseKey, password, cipher);
      break;
    case OfficeForm::Agile:
      outcome = Agile(info.agile, crypto, databaseKey, password, cipher);
      break;
  }
  if (outcome == UnlockOutcome::Failed) {
    error = "the cryptography library failed while checking the password";
  }
  return outcome;
}

}  // namespace jet
