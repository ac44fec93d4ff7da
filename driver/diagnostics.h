// Diagnostic records of one ODBC handle.
#pragma once

#include "odbc.h"

#include <string>
#include <string_view>
#include <vector>

namespace mdbodbc {

// Every message the driver produces starts with this origin.
inline constexpr std::string_view kMessagePrefix = "[mdbodbc]";
// The longest message, in bytes of UTF-8 (so also in UTF-16 units): it fits the buffer of
// SQL_MAX_MESSAGE_LENGTH characters that applications size for a message.
inline constexpr std::size_t kMaxMessageBytes = SQL_MAX_MESSAGE_LENGTH - 1;

struct DiagRecord {
  std::string state;    // five-character SQLSTATE (ODBC 3 form)
  std::string message;  // UTF-8, with the driver's origin prefix
  SQLINTEGER native = 0;
};

class Diagnostics {
 public:
  void Clear();
  // Adds a record; the message gets the driver's origin prefix, and a long one is shortened.
  void Add(std::string_view state, std::string_view message, SQLINTEGER native = 0);

  const std::vector<DiagRecord>& Records() const { return records_; }
  // The return code of the last call, for SQL_DIAG_RETURNCODE.
  SQLRETURN returnCode = SQL_SUCCESS;
  // Records already handed out through SQLError, which reads each record once.
  size_t errorCursor = 0;

 private:
  std::vector<DiagRecord> records_;
};

}  // namespace mdbodbc
