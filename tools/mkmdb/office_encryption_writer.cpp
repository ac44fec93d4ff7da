#include "office_encryption_writer.h"

#include <cerrno>
#include <cstring>
#include <sys/random.h>

#include "jet/agile_descriptor.h"
#include "jet/encryption_info.h"
#include "jet/format.h"
#include "jet/office_encryption.h"
#include "jet/office_keys.h"
#include "jet/password_text.h"
#include "jet/rc4.h"

namespace mkmdb {
namespace {

using jet::Bytes;
using jet::ByteView;

constexpr std::uint32_t kProviderRsaFull = 0x01;
constexpr std::uint32_t kProviderRsaAes = 0x18;
constexpr char kBaseProvider[] = "Microsoft Base Cryptographic Provider v1.0";
constexpr char kAesProvider[] = "Microsoft Enhanced RSA and AES Cryptographic Provider";
constexpr std::uint32_t kAgileReserved = 0x40;
constexpr std::size_t kAgileSaltSize = 16;

Bytes RandomBytes(std::size_t size) {
  Bytes bytes(size);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = getrandom(bytes.data() + done, size - done, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) throw WriterError(std::string("cannot draw random bytes: ") + std::strerror(errno));
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

void Check(bool done) {
  if (!done) throw WriterError("the cryptography library failed while encrypting the file");
}

void Append(Bytes& out, ByteView bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

// A provider name as the header stores it: UTF-16LE with a terminating zero.
void AppendProviderName(Bytes& out, const char* name) {
  for (const char* c = name; *c != '\0'; ++c) jet::AppendU16(out, static_cast<std::uint8_t>(*c));
  jet::AppendU16(out, 0);
}

// Version, flags, EncryptionHeader and EncryptionVerifier of the binary forms.
Bytes BinaryDescription(bool aes, std::uint32_t keyBits, ByteView salt, ByteView verifier,
                        ByteView verifierHash) {
  const std::uint32_t flags = jet::kFlagCryptoApi | (aes ? jet::kFlagAes : 0);
  Bytes header;
  jet::AppendU32(header, flags);
  jet::AppendU32(header, 0);  // SizeExtra
  jet::AppendU32(header, aes ? jet::kAlgorithmAes128 : jet::kAlgorithmRc4);
  jet::AppendU32(header, jet::kAlgorithmSha1);
  jet::AppendU32(header, keyBits);
  jet::AppendU32(header, aes ? kProviderRsaAes : kProviderRsaFull);
  jet::AppendU32(header, 0);
  jet::AppendU32(header, 0);
  AppendProviderName(header, aes ? kAesProvider : kBaseProvider);

  Bytes out;
  jet::AppendU16(out, 4);  // version 4.2
  jet::AppendU16(out, 2);
  jet::AppendU32(out, flags);
  jet::AppendU32(out, static_cast<std::uint32_t>(header.size()));
  Append(out, header);
  jet::AppendU32(out, jet::kVerifierSaltSize);
  Append(out, salt);
  Append(out, verifier);
  jet::AppendU32(out, 20);  // the SHA-1 verifier hash
  Append(out, verifierHash);
  return out;
}

OfficeEncryption Rc4CryptoApi(const jet::CryptoLibrary& crypto, ByteView password,
                              std::uint32_t databaseKey) {
  constexpr std::uint32_t kKeyBits = 40;
  const Bytes salt = RandomBytes(jet::kVerifierSaltSize);
  Bytes hash, key;
  Check(jet::PasswordHash(crypto, jet::HashKind::Sha1, salt, password, 0, hash) &&
        jet::Rc4CryptoApiKey(crypto, hash, kKeyBits, std::array<std::uint8_t, 4>{}, key));
  Bytes verifier = RandomBytes(jet::kVerifierSize);
  verifier.resize(jet::kVerifierSize + 20);
  Check(crypto.Hash(jet::HashKind::Sha1, {ByteView(verifier).first(jet::kVerifierSize)},
                    verifier.data() + jet::kVerifierSize));
  jet::Rc4Apply(key, verifier);  // the verifier and its hash as one stream
  OfficeEncryption out;
  out.description = BinaryDescription(false, kKeyBits, salt,
                                       ByteView(verifier).first(jet::kVerifierSize),
                                       ByteView(verifier).subspan(jet::kVerifierSize));
  out.cipher = jet::Rc4CryptoApiPages(crypto, std::move(hash), kKeyBits, databaseKey);
  return out;
}

OfficeEncryption Standard(const jet::CryptoLibrary& crypto, ByteView password,
                          std::uint32_t databaseKey) {
  constexpr std::uint32_t kKeyBits = 128;
  const Bytes salt = RandomBytes(jet::kVerifierSaltSize);
  Bytes hash, key;
  Check(jet::PasswordHash(crypto, jet::HashKind::Sha1, salt, password,
                          jet::kStandardSpinCount, hash) &&
        jet::StandardKey(crypto, hash, kKeyBits, std::array<std::uint8_t, 4>{}, key));
  Bytes verifier = RandomBytes(jet::kVerifierSize);
  Bytes verifierHash(32, 0);  // SHA-1 padded with zeros to two AES blocks
  Check(crypto.Hash(jet::HashKind::Sha1, {ByteView(verifier)}, verifierHash.data()) &&
        crypto.Aes(true, jet::ChainingMode::Ecb, key, nullptr, verifier) &&
        crypto.Aes(true, jet::ChainingMode::Ecb, key, nullptr, verifierHash));
  OfficeEncryption out;
  out.description = BinaryDescription(true, kKeyBits, salt, verifier, verifierHash);
  out.cipher = jet::StandardPages(crypto, std::move(hash), kKeyBits, databaseKey);
  return out;
}

// Enciphers `value`, padded with zeros to whole blocks, as the password key encryptor keeps it.
std::string KeptValue(const jet::CryptoLibrary& crypto, jet::HashKind kind, ByteView hash,
                      std::size_t keyBits, ByteView salt, ByteView block, Bytes value) {
  Bytes key, iv;
  value.resize((value.size() + 15) / 16 * 16, 0);
  Check(jet::AgileKey(crypto, kind, hash, keyBits, block, key) &&
        jet::AgileIv(crypto, kind, salt, {}, 16, iv) &&
        crypto.Aes(true, jet::ChainingMode::Cbc, key, iv.data(), value));
  return crypto.Base64Encode(value);
}

OfficeEncryption Agile(const jet::CryptoLibrary& crypto, ByteView password,
                       std::uint32_t databaseKey, bool sha512, std::uint32_t spinCount) {
  const jet::HashKind kind = sha512 ? jet::HashKind::Sha512 : jet::HashKind::Sha1;
  const std::size_t keyBits = sha512 ? 256 : 128;
  const std::size_t hashSize = jet::HashSize(kind);
  const Bytes dataSalt = RandomBytes(kAgileSaltSize);
  const Bytes passwordSalt = RandomBytes(kAgileSaltSize);
  const Bytes secret = RandomBytes(keyBits / 8);
  const Bytes verifierInput = RandomBytes(kAgileSaltSize);
  Bytes verifierHash(hashSize), hash;
  Check(crypto.Hash(kind, {ByteView(verifierInput)}, verifierHash.data()) &&
        jet::PasswordHash(crypto, kind, passwordSalt, password, spinCount, hash));

  const std::string name = jet::HashName(kind);
  const std::string sizes = "saltSize=\"16\" blockSize=\"16\" keyBits=\"" +
                            std::to_string(keyBits) + "\" hashSize=\"" +
                            std::to_string(hashSize) +
                            "\" cipherAlgorithm=\"AES\" cipherChaining=\"ChainingModeCBC\" "
                            "hashAlgorithm=\"" + name + "\"";
  const std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
      "<encryption xmlns=\"http://schemas.microsoft.com/office/2006/encryption\" "
      "xmlns:p=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
      "<keyData " + sizes + " saltValue=\"" + crypto.Base64Encode(dataSalt) + "\"/>"
      "<keyEncryptors><keyEncryptor "
      "uri=\"http://schemas.microsoft.com/office/2006/keyEncryptor/password\">"
      "<p:encryptedKey spinCount=\"" + std::to_string(spinCount) + "\" " + sizes +
      " saltValue=\"" + crypto.Base64Encode(passwordSalt) +
      "\" encryptedVerifierHashInput=\"" +
      KeptValue(crypto, kind, hash, keyBits, passwordSalt, jet::kAgileVerifierInputBlock,
                verifierInput) +
      "\" encryptedVerifierHashValue=\"" +
      KeptValue(crypto, kind, hash, keyBits, passwordSalt, jet::kAgileVerifierValueBlock,
                verifierHash) +
      "\" encryptedKeyValue=\"" +
      KeptValue(crypto, kind, hash, keyBits, passwordSalt, jet::kAgileKeyValueBlock, secret) +
      "\"/></keyEncryptor></keyEncryptors></encryption>";

  OfficeEncryption out;
  jet::AppendU16(out.description, 4);  // version 4.4
  jet::AppendU16(out.description, 4);
  jet::AppendU32(out.description, kAgileReserved);
  out.description.insert(out.description.end(), xml.begin(), xml.end());
  out.cipher = jet::AgilePages(crypto, kind, secret, dataSalt, databaseKey);
  return out;
}

}  // namespace

OfficeEncryption MakeOfficeEncryption(Encryption form, const std::string& password,
                                      std::uint32_t databaseKey, std::uint32_t spinCount) {
  Bytes bytes;
  if (!jet::PasswordBytes(password, bytes)) throw WriterError("the password is not UTF-8");
  if (bytes.empty()) throw WriterError("an encrypted file needs a password");
  if (bytes.size() > 2 * 255) {
    throw WriterError("an encryption password holds at most 255 characters (UTF-16 code units)");
  }
  if (spinCount > jet::kMaxSpinCount) {
    throw WriterError("the spin count may be at most " + std::to_string(jet::kMaxSpinCount));
  }
  std::string error;
  const jet::CryptoLibrary* crypto = jet::CryptoLibrary::Get(error);
  if (crypto == nullptr) throw WriterError(error);
  OfficeEncryption out;
  switch (form) {
    case Encryption::Rc4CryptoApi: out = Rc4CryptoApi(*crypto, bytes, databaseKey); break;
    case Encryption::Standard: out = Standard(*crypto, bytes, databaseKey); break;
    case Encryption::AgileSha1: out = Agile(*crypto, bytes, databaseKey, false, spinCount); break;
    case Encryption::AgileSha512: out = Agile(*crypto, bytes, databaseKey, true, spinCount); break;
    case Encryption::None: return out;
  }
  // The length that leads the description in page 0.
  Bytes described;
  jet::AppendU16(described, static_cast<std::uint16_t>(out.description.size()));
  Append(described, out.description);
  out.description = std::move(described);
  return out;
}

}  // namespace mkmdb
