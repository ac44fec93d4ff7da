#include "runtime_arguments.h"

#include "runtime.h"

#include "text/case_fold.h"
#include "text/utf.h"

#include <cwctype>
#include <locale.h>

namespace mdbodbc::sql {
namespace {

// The C library's Unicode case tables, whatever locale the process runs in. Made once and
// never changed: reading it needs no lock.
locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

void InvalidArgument(sqlite3_context* context, const std::string& what) {
  Raise(context, {"22023", what + " (invalid procedure call or argument)"});
}

void NullNotAllowed(sqlite3_context* context, const std::string& what) {
  Raise(context, {"22004", "invalid use of Null: " + what});
}

void OutOfRange(sqlite3_context* context, const std::string& what) {
  Raise(context, {"22003", what + " (numeric value out of range)"});
}

std::string_view TextArgument(sqlite3_value* value) {
  // A text is read as its bytes: asking for it as text would make the engine add a
  // terminating NUL to a value that lacks one, reallocating it, on every call.
  const auto* data = sqlite3_value_type(value) == SQLITE_TEXT ? static_cast<const char*>(sqlite3_value_blob(value))
                                                              : reinterpret_cast<const char*>(sqlite3_value_text(value));
  if (data == nullptr) return {};
  return {data, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

std::u32string Characters(std::string_view utf8) {
  std::u32string out;
  out.reserve(utf8.size());
  std::size_t at = 0;
  while (at < utf8.size()) out += textconv::NextUtf8(utf8, at);
  return out;
}

std::string Utf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) textconv::AppendUtf8(out, c);
  return out;
}

std::size_t CountCharacters(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < utf8.size(); ++count) textconv::NextUtf8(utf8, at);
  return count;
}

std::size_t OffsetOfCharacter(std::string_view utf8, std::size_t n) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < n && at < utf8.size(); ++i) textconv::NextUtf8(utf8, at);
  return at;
}

void ResultText(sqlite3_context* context, std::string_view utf8) {
  // An empty text, never the engine's Null that a null pointer would make.
  sqlite3_result_text64(context, utf8.empty() ? "" : utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void ResultText(sqlite3_context* context, std::u32string_view text) { ResultText(context, Utf8(text)); }

char32_t FoldCharacter(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  return textconv::FoldCase(c);
}

char32_t UpperCharacter(char32_t c) {
  if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
  locale_t locale = CaseLocale();
  if (locale == static_cast<locale_t>(0)) return c;
  return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), locale));
}

char32_t LowerCharacter(char32_t c) {
  if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
  locale_t locale = CaseLocale();
  if (locale == static_cast<locale_t>(0)) return textconv::FoldCase(c);
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), locale));
}

std::string ArgumentName::Text() const {
  std::string text(function);
  if (!role.empty()) text.append("'s ").append(role);
  return text;
}

bool WholeArgument(sqlite3_context* context, const Variant& v, std::int64_t low, std::int64_t high, ArgumentName what,
                   std::int64_t& out) {
  if (v.IsNull()) {
    NullNotAllowed(context, what.Text() + " cannot be Null");
    return false;
  }
  Variant whole;
  SqlError error;
  if (!ConvertVariant(v, MakeType(JetType::BigInt), whole, error)) {
    Raise(context, {error.state, what.Text() + ": " + error.message});
    return false;
  }
  if (whole.integer < low || whole.integer > high) {
    OutOfRange(context, what.Text() + " must lie between " + std::to_string(low) + " and " + std::to_string(high));
    return false;
  }
  out = whole.integer;
  return true;
}

void NullArgument(sqlite3_context* context, ArgumentName what) { NullNotAllowed(context, what.Text() + " cannot be Null"); }

bool CompareArgument(sqlite3_context* context, sqlite3_value* value, std::string_view function, bool& binary) {
  std::int64_t mode = 0;
  if (!LongArgument(context, value, {function, "compare"}, mode)) return false;
  if (mode < -1 || mode > 2) {
    InvalidArgument(context, std::string(function) + "'s compare must be -1, 0, 1 or 2, not " + std::to_string(mode));
    return false;
  }
  binary = mode == 0;
  return true;
}

}  // namespace mdbodbc::sql
