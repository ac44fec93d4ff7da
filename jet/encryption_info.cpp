#include "encryption_info.h"

#include "agile_descriptor.h"
#include "format.h"

namespace jet {
namespace {

// The description's bytes, read front to back with every length checked.
class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t left() const { return size_ - at_; }
  bool U16(std::uint16_t& v) {
    if (left() < 2) return false;
    v = GetU16(data_ + at_);
    at_ += 2;
    return true;
  }
  bool U32(std::uint32_t& v) {
    if (left() < 4) return false;
    v = GetU32(data_ + at_);
    at_ += 4;
    return true;
  }
  bool Take(std::size_t n, Bytes& out) {
    if (left() < n) return false;
    out.assign(data_ + at_, data_ + at_ + n);
    at_ += n;
    return true;
  }
  bool Skip(std::size_t n) {
    if (left() < n) return false;
    at_ += n;
    return true;
  }
  const std::uint8_t* here() const { return data_ + at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::string Damaged(const std::string& what) {
  return "the file's encryption header is damaged: " + what;
}

// The bytes of the description, after its length; false when the length does not fit page 0.
bool Description(const std::uint8_t* page0, std::size_t size, Reader& out, std::string& error) {
  if (size < kEncryptionInfoStart) {
    error = Damaged("page 0 ends before its encryption header");
    return false;
  }
  const std::size_t length = GetU16(page0 + kEncryptionInfoOffset);
  if (length < 4) {
    error = Damaged("its length " + std::to_string(length) + " leaves no room for its version");
    return false;
  }
  if (length > size - kEncryptionInfoStart) {
    error = Damaged("its length " + std::to_string(length) + " does not fit page 0 (at most " +
                    std::to_string(size - kEncryptionInfoStart) + " bytes)");
    return false;
  }
  out = Reader(page0 + kEncryptionInfoStart, length);
  return true;
}

std::string VersionText(std::uint16_t major, std::uint16_t minor) {
  return std::to_string(major) + "." + std::to_string(minor);
}

bool FormOfVersion(Reader& reader, OfficeForm& form, std::string& error) {
  std::uint16_t major = 0, minor = 0;
  std::uint32_t flags = 0;
  reader.U16(major);
  reader.U16(minor);
  if (major == 4 && minor == 4) {
    form = OfficeForm::Agile;
    return true;
  }
  if (minor == 2 && major >= 2 && major <= 4) {
    if (!reader.U32(flags)) {
      error = Damaged("it ends inside its flags");
      return false;
    }
    if ((flags & kFlagCryptoApi) == 0 || (flags & kFlagExternal) != 0) {
      error = "the file is encrypted with an external or unknown provider (flags " +
              std::to_string(flags) + "), which this reader does not read";
      return false;
    }
    form = (flags & kFlagAes) != 0 ? OfficeForm::Standard : OfficeForm::Rc4CryptoApi;
    return true;
  }
  if ((major == 3 || major == 4) && minor == 3) {
    error = "the file is encrypted with an extensible (third-party) provider, which this "
            "reader does not read";
  } else if (major == 1 && minor == 1) {
    error = "the file is encrypted with the Office 97 RC4 form, which this reader does not read";
  } else {
    error = Damaged("its version " + VersionText(major, minor) + " is not one Office writes");
  }
  return false;
}

bool ParseBinary(Reader& reader, OfficeForm form, BinaryEncryption& out, std::string& error) {
  std::uint32_t headerSize = 0;
  if (!reader.U32(headerSize) || headerSize < kEncryptionHeaderFixedSize ||
      headerSize > reader.left()) {
    error = Damaged("its EncryptionHeader size " + std::to_string(headerSize) +
                    " does not fit the description");
    return false;
  }
  std::uint32_t flags = 0, extra = 0, algorithm = 0, hash = 0, keyBits = 0;
  reader.U32(flags);
  reader.U32(extra);
  reader.U32(algorithm);
  reader.U32(hash);
  reader.U32(keyBits);
  reader.Skip(headerSize - 20);  // provider type, two reserved fields, the provider's name
  if (hash != kAlgorithmSha1 && hash != 0) {
    error = Damaged("its hash algorithm " + std::to_string(hash) + " is not SHA-1");
    return false;
  }
  std::size_t hashSize = 20;
  if (form == OfficeForm::Rc4CryptoApi) {
    if (algorithm != kAlgorithmRc4 && algorithm != 0) {
      error = Damaged("its algorithm " + std::to_string(algorithm) + " is not RC4");
      return false;
    }
    if (keyBits == 0) keyBits = 40;
    if (keyBits < 40 || keyBits > 128 || keyBits % 8 != 0) {
      error = Damaged("its RC4 key length of " + std::to_string(keyBits) + " bits is not one of "
                      "40 to 128 in steps of 8");
      return false;
    }
  } else {
    const std::uint32_t expected = algorithm == kAlgorithmAes128   ? 128
                                   : algorithm == kAlgorithmAes192 ? 192
                                   : algorithm == kAlgorithmAes256 ? 256
                                                                   : 0;
    if (expected == 0 || keyBits != expected) {
      error = Damaged("algorithm " + std::to_string(algorithm) + " with a key of " +
                      std::to_string(keyBits) + " bits is not AES-128, AES-192 or AES-256");
      return false;
    }
    hashSize = 32;  // the 20-byte hash padded to whole AES blocks
  }
  out.keyBits = keyBits;
  std::uint32_t saltSize = 0, verifierHashSize = 0;
  if (!reader.U32(saltSize) || saltSize != kVerifierSaltSize ||
      !reader.Take(kVerifierSaltSize, out.salt) ||
      !reader.Take(kVerifierSize, out.encryptedVerifier) || !reader.U32(verifierHashSize) ||
      verifierHashSize != 20 || !reader.Take(hashSize, out.encryptedVerifierHash)) {
    error = Damaged("its EncryptionVerifier is cut short or has a salt of " +
                    std::to_string(saltSize) + " bytes and a hash of " +
                    std::to_string(verifierHashSize) + " (expected 16 and 20)");
    return false;
  }
  return true;
}

}  // namespace

bool HasEncryptionInfo(const std::uint8_t* page0, std::size_t size) {
  return size >= kEncryptionInfoStart && GetU16(page0 + kEncryptionInfoOffset) != 0;
}

bool EncryptionForm(const std::uint8_t* page0, std::size_t size, OfficeForm& form,
                    std::string& error) {
  Reader reader(nullptr, 0);
  return Description(page0, size, reader, error) && FormOfVersion(reader, form, error);
}

bool ParseEncryptionInfo(const std::uint8_t* page0, std::size_t size,
                         const CryptoLibrary& crypto, EncryptionInfo& out, std::string& error) {
  Reader reader(nullptr, 0);
  if (!Description(page0, size, reader, error) || !FormOfVersion(reader, out.form, error)) {
    return false;
  }
  if (out.form != OfficeForm::Agile) return ParseBinary(reader, out.form, out.binary, error);
  std::uint32_t reserved = 0;
  if (!reader.U32(reserved)) {
    error = Damaged("it ends before its XML descriptor");
    return false;
  }
  const std::string_view xml(reinterpret_cast<const char*>(reader.here()), reader.left());
  if (!ParseAgileDescriptor(xml, crypto, out.agile, error)) {
    error = Damaged(error);
    return false;
  }
  return true;
}

}  // namespace jet
