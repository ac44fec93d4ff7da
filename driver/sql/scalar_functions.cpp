// ODBC scalar functions ({fn ...}) and the common Access ones that the engine does not have
// under those names, and letter case changes for every script.
#include "date_text.h"
#include "functions.h"
#include "guarded.h"

#include "framework/codepage.h"

#include <sqlite3.h>

#include <clocale>
#include <ctime>
#include <cwctype>
#include <locale.h>
#include <string>

namespace mdbodbc::sql {
namespace {

std::u16string TextArgument(sqlite3_value* value) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
  int bytes = sqlite3_value_bytes(value);
  return Utf8ToUtf16(std::string_view(text == nullptr ? "" : text, static_cast<std::size_t>(bytes)));
}

void ResultText(sqlite3_context* context, const std::u16string& text) {
  std::string utf8 = Utf16ToUtf8(text);
  sqlite3_result_text(context, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

// Changes letter case character by character (surrogate pairs kept together).
template <bool Upper>
void ChangeCase(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u16string text = TextArgument(argv[0]);
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (CaseLocale() != static_cast<locale_t>(0)) {
      c = static_cast<char32_t>(Upper ? towupper_l(static_cast<wint_t>(c), CaseLocale())
                                      : towlower_l(static_cast<wint_t>(c), CaseLocale()));
    }
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c);
    }
  }
  ResultText(context, out);
}

// Characters counted in UTF-16 units, as ODBC applications count them.
void Left(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u16string text = TextArgument(argv[0]);
  sqlite3_int64 n = sqlite3_value_int64(argv[1]);
  if (n < 0) n = 0;
  ResultText(context, text.substr(0, static_cast<std::size_t>(n)));
}

void Right(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u16string text = TextArgument(argv[0]);
  sqlite3_int64 n = sqlite3_value_int64(argv[1]);
  if (n < 0) n = 0;
  auto keep = static_cast<std::size_t>(n);
  ResultText(context, keep >= text.size() ? text : text.substr(text.size() - keep));
}

void Concat(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::string out;
  for (int i = 0; i < argc; ++i) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[i]));
    out.append(text == nullptr ? "" : text, static_cast<std::size_t>(sqlite3_value_bytes(argv[i])));
  }
  sqlite3_result_text(context, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

// LOCATE(needle, haystack [, start]): the 1-based position of needle, 0 when absent.
void Locate(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u16string needle = TextArgument(argv[0]);
  std::u16string haystack = TextArgument(argv[1]);
  sqlite3_int64 start = argc == 3 ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) start = 1;
  std::size_t found = haystack.find(needle, static_cast<std::size_t>(start - 1));
  sqlite3_result_int64(context, found == std::u16string::npos ? 0 : static_cast<sqlite3_int64>(found) + 1);
}

// NOW(), CURDATE(), CURTIME() in local time, in the form Date/Time columns have.
template <int Part>
void Current(sqlite3_context* context, int, sqlite3_value**) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateTime value;
  value.year = local.tm_year + 1900;
  value.month = local.tm_mon + 1;
  value.day = local.tm_mday;
  value.hour = local.tm_hour;
  value.minute = local.tm_min;
  value.second = local.tm_sec;
  std::string text = IsoText(value);
  if (Part == 1) text = text.substr(0, 10);
  if (Part == 2) text = text.substr(11);
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// YEAR(), MONTH(), DAYOFMONTH(), HOUR(), MINUTE(), SECOND() of a Date/Time text.
template <int DateTime::*Field>
void Part(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  std::optional<DateTime> value = ParseIso(text == nullptr ? "" : text);
  if (!value) return;
  sqlite3_result_int(context, (*value).*Field);
}

// Nz(value [, instead]): the value, or the second argument (or '') when it is NULL.
void Nz(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_NULL) {
    sqlite3_result_value(context, argv[0]);
  } else if (argc == 2) {
    sqlite3_result_value(context, argv[1]);
  } else {
    sqlite3_result_text(context, "", 0, SQLITE_STATIC);
  }
}

struct Function {
  const char* name;
  int arguments;
  void (*call)(sqlite3_context*, int, sqlite3_value**);
  bool deterministic;
};

constexpr Function kFunctions[] = {
    {"upper", 1, ChangeCase<true>, true},  {"lower", 1, ChangeCase<false>, true},
    {"ucase", 1, ChangeCase<true>, true},  {"lcase", 1, ChangeCase<false>, true},
    {"left", 2, Left, true},               {"right", 2, Right, true},
    {"concat", 2, Concat, true},           {"locate", 2, Locate, true},
    {"locate", 3, Locate, true},           {"now", 0, Current<0>, false},
    {"curdate", 0, Current<1>, false},     {"curtime", 0, Current<2>, false},
    {"year", 1, Part<&DateTime::year>, true},
    {"month", 1, Part<&DateTime::month>, true},
    {"dayofmonth", 1, Part<&DateTime::day>, true},
    {"day", 1, Part<&DateTime::day>, true},
    {"hour", 1, Part<&DateTime::hour>, true},
    {"minute", 1, Part<&DateTime::minute>, true},
    {"second", 1, Part<&DateTime::second>, true},
    {"nz", 1, Nz, true},                   {"nz", 2, Nz, true},
};

// Every function runs through here, its entry of kFunctions as the engine's user data.
void CallEntry(sqlite3_context* context, int argc, sqlite3_value** argv) {
  CallGuarded(static_cast<const Function*>(sqlite3_user_data(context))->call, context, argc, argv);
}

}  // namespace

bool RegisterScalarFunctions(sqlite3* db) {
  for (const Function& f : kFunctions) {
    int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
    void* entry = const_cast<Function*>(&f);
    if (sqlite3_create_function(db, f.name, f.arguments, flags, entry, CallEntry, nullptr, nullptr) !=
        SQLITE_OK) {
      return false;
    }
  }
  return true;
}

}  // namespace mdbodbc::sql
