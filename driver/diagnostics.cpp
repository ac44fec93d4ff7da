#include "diagnostics.h"

namespace mdbodbc {

void Diagnostics::Clear() {
  records_.clear();
  errorCursor = 0;
  returnCode = SQL_SUCCESS;
}

void Diagnostics::Add(std::string_view state, std::string_view message, SQLINTEGER native) {
  DiagRecord record;
  record.state = std::string(state);
  record.message = std::string(kMessagePrefix) + std::string(message);
  record.native = native;
  records_.push_back(std::move(record));
}

}  // namespace mdbodbc
