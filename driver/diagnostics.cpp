#include "diagnostics.h"

#include "text/utf.h"

namespace mdbodbc {
namespace {

// The start of the UTF-8 character at or before `at`.
std::size_t CharacterStart(std::string_view text, std::size_t at) { return textconv::Utf8Prefix(text, at).size(); }

// A message of at most kMaxMessageBytes: one that is longer keeps its beginning, which says
// what failed, and its end, which SQLite's messages use for where ("... near X: syntax error"),
// around a marker; whole characters only.
std::string Shortened(std::string message) {
  if (message.size() <= kMaxMessageBytes) return message;
  constexpr std::string_view kCut = " [...] ";
  constexpr std::size_t kTail = 140;
  const std::size_t headEnd = CharacterStart(message, kMaxMessageBytes - kCut.size() - kTail);
  const std::size_t tailStart = CharacterStart(message, message.size() - kTail);
  return message.substr(0, headEnd) + std::string(kCut) + message.substr(tailStart);
}

}  // namespace

void Diagnostics::Clear() {
  records_.clear();
  errorCursor = 0;
  returnCode = SQL_SUCCESS;
}

void Diagnostics::Add(std::string_view state, std::string_view message, SQLINTEGER native) {
  DiagRecord record;
  record.state = std::string(state);
  record.message = Shortened(std::string(kMessagePrefix) + std::string(message));
  record.native = native;
  records_.push_back(std::move(record));
}

}  // namespace mdbodbc
