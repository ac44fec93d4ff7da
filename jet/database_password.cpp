#include "database_password.h"

#include <cmath>
#include <vector>

#include "password_text.h"

namespace jet {

std::uint32_t PasswordMask(double creationDate) {
  if (!std::isfinite(creationDate) || creationDate <= -2147483648.0 ||
      creationDate >= 4294967296.0) {
    return 0;
  }
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(creationDate));
}

PasswordCheck CheckDatabasePassword(const FileHeader& header, const CodePageText* codePage,
                                    const std::optional<std::string>& given) {
  const std::size_t size = header.storedPasswordSize;
  if (header.version == Version::Jet3) {
    std::size_t length = 0;
    while (length < size && header.storedPassword[length] != 0) ++length;
    if (length == 0) return PasswordCheck::Open;
    if (!given || given->empty()) return PasswordCheck::Needed;
    std::string stored;
    if (codePage != nullptr) codePage->Append(header.storedPassword.data(), length, stored);
    return stored == *given ? PasswordCheck::Open : PasswordCheck::Wrong;
  }

  std::uint8_t mask[4];
  PutU32(mask, PasswordMask(header.creationDate));
  std::vector<std::uint8_t> stored(size);
  for (std::size_t i = 0; i < size; ++i) stored[i] = header.storedPassword[i] ^ mask[i % 4];
  std::size_t length = 0;  // bytes up to the first zero code unit
  while (length + 1 < size && (stored[length] != 0 || stored[length + 1] != 0)) length += 2;
  if (length == 0) return PasswordCheck::Open;
  if (!given || given->empty()) return PasswordCheck::Needed;
  std::vector<std::uint8_t> typed;
  if (!PasswordBytes(*given, typed)) return PasswordCheck::Wrong;
  stored.resize(length);
  return typed == stored ? PasswordCheck::Open : PasswordCheck::Wrong;
}

}  // namespace jet
