// What opening a file takes beyond reading it: the cipher of its pages when they are encoded
// (Jet 3 and Jet 4) or encrypted (Access 2007 and later), and the password the file asks for
// (its database password field, or the password its encryption was made with).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "database.h"
#include "file_header.h"
#include "page_cipher.h"
#include "text_decoding.h"

namespace jet {

struct Unlocked {
  Encryption encryption = Encryption::None;
  std::unique_ptr<PageCipher> cipher;  // null for plain pages
};

// Decides how the pages of a file are read, given its header and the first `size` bytes of
// page 0, and checks `password` (UTF-8; nullopt when none was given). False with `error` and
// `failure` set when the file cannot be opened: a password is missing or wrong, or the
// encryption is damaged, unknown, or needs a library that cannot be loaded. Messages never
// hold the given password nor the stored one.
bool UnlockFile(const FileHeader& header, const std::uint8_t* page0, std::size_t size,
                const CodePageText* codePage, const std::optional<std::string>& password,
                Unlocked& out, OpenFailure& failure, std::string& error);

}  // namespace jet
