// How a file encrypted by Access 2007 or later describes its encryption. Page 0 stays plain;
// at kEncryptionInfoOffset it holds a u16 length and that many bytes of an Office
// EncryptionInfo structure ([MS-OFFCRYPTO]): a version, then for the RC4 CryptoAPI and the
// standard (AES) forms a binary EncryptionHeader and EncryptionVerifier, for the agile form an
// XML descriptor (agile_descriptor.h). The other pages are enciphered with a block key made of
// the header's database key XOR the page number (office_encryption.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "crypto_library.h"

namespace jet {

inline constexpr std::size_t kEncryptionInfoOffset = 0x299;  // u16 length, then the structure
inline constexpr std::size_t kEncryptionInfoStart = kEncryptionInfoOffset + 2;

enum class OfficeForm : std::uint8_t { Rc4CryptoApi, Standard, Agile };

// EncryptionHeader.Flags and the algorithm identifiers of the binary forms.
inline constexpr std::uint32_t kFlagCryptoApi = 0x04;
inline constexpr std::uint32_t kFlagExternal = 0x10;
inline constexpr std::uint32_t kFlagAes = 0x20;
inline constexpr std::uint32_t kAlgorithmRc4 = 0x6801;
inline constexpr std::uint32_t kAlgorithmAes128 = 0x660E;
inline constexpr std::uint32_t kAlgorithmAes192 = 0x660F;
inline constexpr std::uint32_t kAlgorithmAes256 = 0x6610;
inline constexpr std::uint32_t kAlgorithmSha1 = 0x8004;
inline constexpr std::size_t kEncryptionHeaderFixedSize = 32;  // the fields before CSPName
inline constexpr std::size_t kVerifierSaltSize = 16;
inline constexpr std::size_t kVerifierSize = 16;

// The RC4 CryptoAPI and standard forms: a salted SHA-1 password hash, a verifier to check it.
struct BinaryEncryption {
  std::uint32_t keyBits = 0;
  Bytes salt;                   // 16 bytes
  Bytes encryptedVerifier;      // 16 bytes
  Bytes encryptedVerifierHash;  // 20 bytes (RC4) or 32 (AES)
};

// The agile form: the key that enciphers the pages is itself stored enciphered with a key made
// from the password (keyEncryptor), the pages' initialization vectors coming from keyData.
struct AgileKey {
  std::size_t keyBits = 0;
  std::size_t blockSize = 0;
  HashKind hash = HashKind::Sha1;
  Bytes salt;
};
struct AgileEncryption {
  AgileKey data;      // keyData: the pages
  AgileKey password;  // the password key encryptor
  std::uint32_t spinCount = 0;
  Bytes encryptedVerifierHashInput;
  Bytes encryptedVerifierHashValue;
  Bytes encryptedKeyValue;
};

struct EncryptionInfo {
  OfficeForm form = OfficeForm::Rc4CryptoApi;
  BinaryEncryption binary;  // Rc4CryptoApi and Standard
  AgileEncryption agile;    // Agile
};

// Whether page 0 (its first `size` bytes) describes an Office encryption: a non-zero length at
// kEncryptionInfoOffset. Files encrypted the Jet way leave it 0.
bool HasEncryptionInfo(const std::uint8_t* page0, std::size_t size);

// The form the description names, from its version alone. False with `error` set for a
// description that is cut short or names a form this reader does not read.
bool EncryptionForm(const std::uint8_t* page0, std::size_t size, OfficeForm& form,
                    std::string& error);

// Reads the whole description. False with `error` saying what is wrong with it.
bool ParseEncryptionInfo(const std::uint8_t* page0, std::size_t size,
                         const CryptoLibrary& crypto, EncryptionInfo& out, std::string& error);

}  // namespace jet
