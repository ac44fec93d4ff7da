#include "file_protection.h"

#include "crypto_library.h"
#include "database_password.h"
#include "encryption_info.h"
#include "jet_encoding.h"
#include "office_encryption.h"
#include "password_text.h"

namespace jet {
namespace {

const char* FormName(OfficeForm form) {
  switch (form) {
    case OfficeForm::Rc4CryptoApi: return "RC4 CryptoAPI";
    case OfficeForm::Standard: return "AES (standard)";
    case OfficeForm::Agile: return "AES (agile)";
  }
  return "";
}

Encryption EncryptionOf(OfficeForm form) {
  switch (form) {
    case OfficeForm::Rc4CryptoApi: return Encryption::Rc4CryptoApi;
    case OfficeForm::Standard: return Encryption::Standard;
    case OfficeForm::Agile: return Encryption::Agile;
  }
  return Encryption::None;
}

bool Refuse(OpenFailure kind, std::string message, OpenFailure& failure, std::string& error) {
  failure = kind;
  error = std::move(message);
  return false;
}

bool UnlockOffice(const FileHeader& header, const std::uint8_t* page0, std::size_t size,
                  const std::optional<std::string>& password, Unlocked& out,
                  OpenFailure& failure, std::string& error) {
  OfficeForm form{};
  std::string why;
  if (!EncryptionForm(page0, size, form, why)) {
    return Refuse(OpenFailure::Unreadable, why, failure, error);
  }
  const std::string what = std::string("the database is encrypted with ") + FormName(form);
  if (!password || password->empty()) {
    return Refuse(OpenFailure::PasswordNeeded, what + " and needs its password, but none was given",
                  failure, error);
  }
  const CryptoLibrary* crypto = CryptoLibrary::Get(why);
  if (crypto == nullptr) return Refuse(OpenFailure::Unreadable, what + "; " + why, failure, error);
  EncryptionInfo info;
  if (!ParseEncryptionInfo(page0, size, *crypto, info, why)) {
    return Refuse(OpenFailure::Unreadable, why, failure, error);
  }
  std::vector<std::uint8_t> bytes;
  const std::string wrong = what + ", and the password given does not open it";
  if (!PasswordBytes(*password, bytes)) {
    return Refuse(OpenFailure::PasswordWrong, wrong, failure, error);
  }
  switch (UnlockOfficeEncryption(info, *crypto, header.databaseKey, bytes, out.cipher, why)) {
    case UnlockOutcome::Unlocked:
      out.encryption = EncryptionOf(form);
      return true;
    case UnlockOutcome::WrongPassword:
      return Refuse(OpenFailure::PasswordWrong, wrong, failure, error);
    case UnlockOutcome::Failed:
      break;
  }
  return Refuse(OpenFailure::Unreadable, what + "; " + why, failure, error);
}

}  // namespace

bool UnlockFile(const FileHeader& header, const std::uint8_t* page0, std::size_t size,
                const CodePageText* codePage, const std::optional<std::string>& password,
                Unlocked& out, OpenFailure& failure, std::string& error) {
  out = Unlocked{};
  if (header.databaseKey != 0 && header.version != Version::Jet3 &&
      HasEncryptionInfo(page0, size)) {
    return UnlockOffice(header, page0, size, password, out, failure, error);
  }
  if (header.databaseKey != 0) {
    if (header.version == Version::Ace) {
      return Refuse(OpenFailure::Unreadable,
                    "the file is encrypted, but its header describes no encryption this reader "
                    "knows",
                    failure, error);
    }
    out.encryption = Encryption::JetEncoding;
    out.cipher = std::make_unique<JetEncoding>(header.databaseKey);
  }
  // From Access 2007 on, a password encrypts the file; the header's password field of an
  // .accdb protects nothing and is not checked.
  if (header.version == Version::Ace) return true;
  switch (CheckDatabasePassword(header, codePage, password)) {
    case PasswordCheck::Open:
      return true;
    case PasswordCheck::Needed:
      return Refuse(OpenFailure::PasswordNeeded,
                    "the database has a password, and none was given", failure, error);
    case PasswordCheck::Wrong:
      break;
  }
  return Refuse(OpenFailure::PasswordWrong, "the password given is not the database's password",
                failure, error);
}

}  // namespace jet
