// The pages of a file encrypted by Access 2007 or later, in each Office form: checking a
// password against the file's verifier, and the page ciphers it opens. The writer builds the
// same ciphers from the keys it chose.
#pragma once

#include <memory>
#include <string>

#include "crypto_library.h"
#include "encryption_info.h"
#include "page_cipher.h"

namespace jet {

enum class UnlockOutcome { Unlocked, WrongPassword, Failed };

// Checks `password` (UTF-16LE bytes) against the verifier of `info` and makes the cipher of the
// file's pages, whose header holds `databaseKey`. Failed means the cryptography library failed
// (`error` says so); WrongPassword that the password does not open the file.
UnlockOutcome UnlockOfficeEncryption(const EncryptionInfo& info, const CryptoLibrary& crypto,
                                     std::uint32_t databaseKey, ByteView password,
                                     std::unique_ptr<PageCipher>& cipher, std::string& error);

// The page ciphers, from the password hash (RC4 CryptoAPI, standard) or the secret key and the
// keyData salt (agile).
std::unique_ptr<PageCipher> Rc4CryptoApiPages(const CryptoLibrary& crypto, Bytes hash,
                                              std::uint32_t keyBits, std::uint32_t databaseKey);
std::unique_ptr<PageCipher> StandardPages(const CryptoLibrary& crypto, Bytes hash,
                                          std::uint32_t keyBits, std::uint32_t databaseKey);
std::unique_ptr<PageCipher> AgilePages(const CryptoLibrary& crypto, HashKind kind,
                                       Bytes secretKey, Bytes salt, std::uint32_t databaseKey);

}  // namespace jet
