#include "variant.h"

#include "access_dates.h"

#include "jet/extended_date.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace mdbodbc::sql {
namespace {

bool Overflow(SqlError& error, const Type& to) {
  error = {"22003", "the value does not fit a " + TypeName(to) + " (numeric value out of range)"};
  return false;
}

bool Mismatch(SqlError& error, const Variant& in, const Type& to) {
  std::string shown = in.text.size() > 40 ? in.text.substr(0, 40) + "..." : in.text;
  error = {"22018", "data type mismatch: '" + shown + "' cannot be read as a " + TypeName(to)};
  return false;
}

// The range of each whole type.
bool WholeRange(JetType t, std::int64_t& low, std::int64_t& high) {
  switch (t) {
    case JetType::Byte: low = 0; high = 255; return true;
    case JetType::Integer: low = -32768; high = 32767; return true;
    case JetType::Long: low = std::numeric_limits<std::int32_t>::min(); high = std::numeric_limits<std::int32_t>::max(); return true;
    case JetType::BigInt: low = std::numeric_limits<std::int64_t>::min(); high = std::numeric_limits<std::int64_t>::max(); return true;
    default: return false;
  }
}

// Half to even, to a whole number; false when out of the int64 range.
bool RoundToWhole(double v, std::int64_t& out) {
  if (!std::isfinite(v)) return false;
  double r = std::nearbyint(v);  // the default rounding mode rounds half to even
  if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) return false;
  out = static_cast<std::int64_t>(r);
  return true;
}

// A number of the value, whatever its type, as Access reads it for arithmetic: a double and,
// when it is exact, an integer or a Decimal.
struct Number {
  enum class Kind { Whole, Real, Currency, Decimal } kind = Kind::Whole;
  std::int64_t integer = 0;
  double real = 0;
  Decimal decimal;
};

bool ToNumber(const Variant& in, Number& n, const Type& to, SqlError& error) {
  switch (in.type.kind) {
    case JetType::Bool:
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt: n.kind = Number::Kind::Whole; n.integer = in.integer; return true;
    case JetType::Currency: n.kind = Number::Kind::Currency; n.integer = in.integer; return true;
    case JetType::Single:
    case JetType::Double: n.kind = Number::Kind::Real; n.real = in.real; return true;
    case JetType::DateTime: n.kind = Number::Kind::Real; n.real = StoredFromLinear(in.real); return true;
    case JetType::DateTimeExtended:
      n.kind = Number::Kind::Real;
      n.real = StoredFromLinear(LinearFromTicks(in.integer));
      return true;
    case JetType::Decimal: n.kind = Number::Kind::Decimal; n.decimal = in.decimal; return true;
    case JetType::Text:
    case JetType::Memo: {
      // Exact forms stay exact where the target is.
      if (to.kind == JetType::Currency || to.kind == JetType::Decimal) {
        std::string_view t = in.text;
        if (!t.empty() && t.front() == '$') t.remove_prefix(1);
        NumberStatus status = ParseDecimal(t, n.decimal);
        if (status == NumberStatus::Ok) {
          n.kind = Number::Kind::Decimal;
          return true;
        }
        // A number too large for the exact type stays too large read as a Double.
        if (status == NumberStatus::Overflow) return Overflow(error, to);
      }
      n.kind = Number::Kind::Real;
      if (!ParseNumberText(in.text, n.real)) {
        // A date in text converts to its day number.
        if (std::optional<double> date = ParseAccessDate(in.text)) {
          n.real = StoredFromLinear(*date);
          return true;
        }
        return Mismatch(error, in, to);
      }
      return true;
    }
    default: return Mismatch(error, in, to);
  }
}

std::string Trimmed(std::string text) {
  // Plain notation of a double: the shortest that reads back at this precision, VBA-style
  // exponent "1E+16" where plain would be too long.
  std::size_t e = text.find('e');
  if (e != std::string::npos) {
    std::string mantissa = text.substr(0, e);
    std::string exponent = text.substr(e + 1);
    char sign = exponent[0];
    exponent.erase(0, 1);
    while (exponent.size() > 2 && exponent[0] == '0') exponent.erase(0, 1);
    return mantissa + "E" + sign + exponent;
  }
  return text;
}

std::string RealText(double v, int digits) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
  std::string text = buffer;
  if (text == "-0") text = "0";
  return Trimmed(text);
}

std::string DateText(double linear) {
  std::optional<DateParts> p = SplitLinear(linear);
  if (!p) return {};
  char buffer[64];
  std::string out;
  // Day 0, 1899-12-30, shows as its time alone, midnight included (12:00:00 AM).
  bool hasDate = !(linear >= 0 && linear < 1);
  bool hasTime = p->hour != 0 || p->minute != 0 || p->second != 0 || !hasDate;
  if (hasDate) {
    std::snprintf(buffer, sizeof buffer, "%d/%d/%d", p->month, p->day, p->year);
    out = buffer;
  }
  if (hasTime) {
    int hour12 = p->hour % 12 == 0 ? 12 : p->hour % 12;
    std::snprintf(buffer, sizeof buffer, "%d:%02d:%02d %s", hour12, p->minute, p->second, p->hour < 12 ? "AM" : "PM");
    if (!out.empty()) out += ' ';
    out += buffer;
  }
  return out;
}

}  // namespace

bool ParseNumberText(std::string_view text, double& out) {
  std::string digits;
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::size_t end = text.size();
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  text = text.substr(i, end - i);
  if (text.empty()) return false;
  std::size_t at = 0;
  if (text[at] == '+' || text[at] == '-') digits += text[at++];
  if (at < text.size() && text[at] == '$') ++at;
  bool any = false, point = false;
  for (; at < text.size(); ++at) {
    char c = text[at];
    if (c >= '0' && c <= '9') {
      digits += c;
      any = true;
    } else if (c == ',' && any && !point) {
      continue;  // a thousands separator
    } else if (c == '.' && !point) {
      digits += c;
      point = true;
    } else {
      break;
    }
  }
  if (!any) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    std::size_t mark = at++;
    std::string exponent = "e";
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) exponent += text[at++];
    bool expDigits = false;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
      exponent += text[at++];
      expDigits = true;
    }
    if (!expDigits) at = mark;
    else digits += exponent;
  }
  if (at != text.size()) return false;
  char* stop = nullptr;
  out = std::strtod(digits.c_str(), &stop);
  return stop != nullptr && *stop == '\0' && std::isfinite(out);
}

std::string_view ValueBytes(sqlite3_value* value) {
  const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
  return {data == nullptr ? "" : data, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

Variant ReadVariant(sqlite3_value* value, const Type& t) {
  Variant v;
  int kind = sqlite3_value_type(value);
  if (kind == SQLITE_NULL) {
    v.type = MakeType(JetType::Null);
    return v;
  }
  v.type = t;
  switch (t.kind) {
    case JetType::Bool:
      v.integer = sqlite3_value_int64(value) != 0 ? -1 : 0;
      break;
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt:
    case JetType::Currency:
      if (kind == SQLITE_FLOAT) {
        // An engine sum past 64 bits arrives as a real: keep it, so that conversion reports it.
        v.type = MakeType(JetType::Double);
        v.real = sqlite3_value_double(value);
      } else if (kind == SQLITE_TEXT) {
        v.type = MakeType(JetType::Text);
        v.text.assign(ValueBytes(value));
      } else {
        v.integer = sqlite3_value_int64(value);
      }
      break;
    case JetType::Single:
    case JetType::Double:
    case JetType::DateTime: v.real = sqlite3_value_double(value); break;
    case JetType::DateTimeExtended: v.integer = sqlite3_value_int64(value); break;
    case JetType::Decimal: {
      if (kind == SQLITE_INTEGER) {
        v.decimal = DecimalFromInt64(sqlite3_value_int64(value));
      } else {
        std::string_view s = ValueBytes(value);
        if (ParseDecimal(s, v.decimal) != NumberStatus::Ok) {
          v.type = MakeType(JetType::Text);
          v.text = std::string(s);
        }
      }
      break;
    }
    case JetType::Binary:
    case JetType::LongBinary: {
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
      v.text.assign(bytes == nullptr ? "" : bytes, static_cast<std::size_t>(sqlite3_value_bytes(value)));
      break;
    }
    default: {
      if (kind == SQLITE_INTEGER && t.kind != JetType::Text && t.kind != JetType::Memo) {
        v.type = MakeType(JetType::BigInt);
        v.integer = sqlite3_value_int64(value);
        break;
      }
      v.text.assign(ValueBytes(value));
      if (t.kind == JetType::Unknown || t.kind == JetType::Null) v.type = MakeType(JetType::Text);
    }
  }
  return v;
}

void ResultVariant(sqlite3_context* context, const Variant& v) {
  switch (v.type.kind) {
    case JetType::Null:
    case JetType::Unknown: sqlite3_result_null(context); return;
    case JetType::Bool:
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt:
    case JetType::Currency:
    case JetType::DateTimeExtended: sqlite3_result_int64(context, v.integer); return;
    case JetType::Single:
    case JetType::Double:
    case JetType::DateTime: sqlite3_result_double(context, v.real); return;
    case JetType::Decimal: {
      std::string text = DecimalText(v.decimal);
      sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      return;
    }
    case JetType::Binary:
    case JetType::LongBinary:
      sqlite3_result_blob64(context, v.text.data(), v.text.size(), SQLITE_TRANSIENT);
      return;
    default: sqlite3_result_text64(context, v.text.data(), v.text.size(), SQLITE_TRANSIENT, SQLITE_UTF8); return;
  }
}

std::string VariantText(const Variant& v) {
  switch (v.type.kind) {
    case JetType::Null:
    case JetType::Unknown: return {};
    case JetType::Bool: return v.integer != 0 ? "True" : "False";
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt: return std::to_string(v.integer);
    case JetType::Currency: return CurrencyText(v.integer, 0);
    case JetType::Single: return RealText(static_cast<float>(v.real), 7);
    case JetType::Double: return RealText(v.real, 15);
    case JetType::Decimal: {
      std::string text = DecimalText(v.decimal);
      if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
      }
      return text;
    }
    case JetType::DateTime: return DateText(v.real);
    case JetType::DateTimeExtended: return jet::ExtendedDateText(v.integer);
    default: return v.text;
  }
}

bool ConvertVariant(const Variant& in, const Type& to, Variant& out, SqlError& error) {
  if (in.IsNull() || to.kind == JetType::Null || to.kind == JetType::Unknown) {
    out = in;
    return true;
  }
  out = Variant{};
  out.type = to;
  switch (to.kind) {
    case JetType::Text:
    case JetType::Memo:
      out.text = VariantText(in);
      return true;
    case JetType::Guid:
      if (in.type.kind == JetType::Guid || IsTextual(in.type.kind)) {
        out.text = in.text;
        return true;
      }
      return Mismatch(error, in, to);
    case JetType::Binary:
    case JetType::LongBinary:
      if (IsBinary(in.type.kind) || IsTextual(in.type.kind)) {
        out.text = in.text;
        return true;
      }
      return Mismatch(error, in, to);
    case JetType::DateTime: {
      if (IsTextual(in.type.kind)) {
        std::optional<double> date = ParseAccessDate(in.text);
        if (!date) date = ParseIsoDate(in.text);
        if (!date) {
          double number = 0;
          if (!ParseNumberText(in.text, number)) return Mismatch(error, in, to);
          date = LinearFromStored(number);
        }
        out.real = *date;
      } else if (in.type.kind == JetType::DateTime) {
        out.real = in.real;
      } else if (in.type.kind == JetType::DateTimeExtended) {
        out.real = LinearFromTicks(in.integer);
      } else {
        Variant d;
        if (!ConvertVariant(in, MakeType(JetType::Double), d, error)) return false;
        out.real = LinearFromStored(d.real);
      }
      if (!InDateRange(out.real)) {
        error = {"22008", "the date lies outside 0100-01-01..9999-12-31 (datetime field overflow)"};
        return false;
      }
      return true;
    }
    case JetType::DateTimeExtended: {
      if (in.type.kind == JetType::DateTimeExtended) {
        out.integer = in.integer;
        return true;
      }
      if (IsTextual(in.type.kind)) {
        // The ISO form to the 100 ns, then the forms a Date/Time reads.
        std::optional<std::int64_t> ticks = jet::ParseExtendedDateText(in.text);
        if (ticks) {
          out.integer = *ticks;
          return true;
        }
      }
      Variant date;
      if (!ConvertVariant(in, MakeType(JetType::DateTime), date, error)) return false;
      out.integer = TicksFromLinear(date.real);
      return true;
    }
    default: break;
  }
  if (in.type.kind == JetType::Guid || IsBinary(in.type.kind)) return Mismatch(error, in, to);
  Number n;
  if (IsTextual(in.type.kind) && to.kind == JetType::Bool) {
    // "True" and "False" read as Yes/No, as numbers do.
    std::string lower;
    for (char c : in.text) {
      if (c != ' ') lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    if (lower == "true" || lower == "yes" || lower == "on") {
      out.integer = -1;
      return true;
    }
    if (lower == "false" || lower == "no" || lower == "off") {
      out.integer = 0;
      return true;
    }
  }
  if (!ToNumber(in, n, to, error)) return false;
  switch (to.kind) {
    case JetType::Bool:
      switch (n.kind) {
        case Number::Kind::Whole:
        case Number::Kind::Currency: out.integer = n.integer != 0 ? -1 : 0; break;
        case Number::Kind::Real: out.integer = n.real != 0 ? -1 : 0; break;
        case Number::Kind::Decimal: out.integer = n.decimal.mantissa != 0 ? -1 : 0; break;
      }
      return true;
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt: {
      std::int64_t whole = 0;
      switch (n.kind) {
        case Number::Kind::Whole: whole = n.integer; break;
        case Number::Kind::Currency: CurrencyToInt64(n.integer, whole); break;
        case Number::Kind::Real:
          if (!RoundToWhole(n.real, whole)) return Overflow(error, to);
          break;
        case Number::Kind::Decimal:
          if (DecimalToInt64(n.decimal, whole) != NumberStatus::Ok) return Overflow(error, to);
          break;
      }
      std::int64_t low = 0, high = 0;
      WholeRange(to.kind, low, high);
      if (whole < low || whole > high) return Overflow(error, to);
      out.integer = whole;
      return true;
    }
    case JetType::Single:
    case JetType::Double: {
      switch (n.kind) {
        case Number::Kind::Whole: out.real = static_cast<double>(n.integer); break;
        case Number::Kind::Currency: out.real = CurrencyToDouble(n.integer); break;
        case Number::Kind::Real: out.real = n.real; break;
        case Number::Kind::Decimal: out.real = DecimalToDouble(n.decimal); break;
      }
      if (to.kind == JetType::Single) {
        if (std::isfinite(out.real) && std::fabs(out.real) > std::numeric_limits<float>::max()) return Overflow(error, to);
        out.real = static_cast<float>(out.real);
      }
      return true;
    }
    case JetType::Currency: {
      NumberStatus status = NumberStatus::Ok;
      switch (n.kind) {
        case Number::Kind::Whole:
          if (n.integer > std::numeric_limits<std::int64_t>::max() / 10000 ||
              n.integer < std::numeric_limits<std::int64_t>::min() / 10000) {
            status = NumberStatus::Overflow;
          } else {
            out.integer = n.integer * 10000;
          }
          break;
        case Number::Kind::Currency: out.integer = n.integer; break;
        case Number::Kind::Real: status = CurrencyFromDouble(n.real, out.integer); break;
        case Number::Kind::Decimal: status = CurrencyFromDecimal(n.decimal, out.integer); break;
      }
      if (status != NumberStatus::Ok) return Overflow(error, to);
      return true;
    }
    case JetType::Decimal: {
      NumberStatus status = NumberStatus::Ok;
      switch (n.kind) {
        case Number::Kind::Whole: out.decimal = DecimalFromInt64(n.integer); break;
        case Number::Kind::Currency: status = DecimalFromCurrency(n.integer, out.decimal); break;
        case Number::Kind::Real: status = DecimalFromDouble(n.real, out.decimal); break;
        case Number::Kind::Decimal: out.decimal = n.decimal; break;
      }
      if (status != NumberStatus::Ok) return Overflow(error, to);
      return true;
    }
    default: return Mismatch(error, in, to);
  }
}

}  // namespace mdbodbc::sql
