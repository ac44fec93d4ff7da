// Checks that a file is an Access database before the reader is given it, so that a missing,
// wrong or unreadable file gets a plain reason (which file, and why) at connect.
#pragma once

#include <optional>
#include <string>

namespace mdbodbc {

struct FileCheck {
  // Empty when the file looks like an Access database; otherwise why it cannot be used.
  std::optional<std::string> problem;
  int pageSize = 0;
  int engineVersion = 0;  // byte 0x14 of the header: 0 Jet 3, 1 Jet 4, 2 and above ACE
};

FileCheck CheckDatabaseFile(const std::string& path);

}  // namespace mdbodbc
