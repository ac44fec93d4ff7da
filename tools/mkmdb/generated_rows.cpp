#include "generated_rows.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>


namespace mkmdb {
namespace {

// The last `count` UTF-16 code units of UTF-8 `text`, whole code points only.
std::string LastCharacters(const std::string& text, std::size_t count) {
  std::size_t units = 0;
  std::size_t begin = text.size();
  while (begin > 0) {
    std::size_t lead = begin - 1;
    while (lead > 0 && (static_cast<unsigned char>(text[lead]) & 0xC0) == 0x80) --lead;
    const std::size_t width = (static_cast<unsigned char>(text[lead]) >= 0xF0) ? 2 : 1;
    if (units + width > count) break;
    units += width;
    begin = lead;
  }
  return text.substr(begin);
}

// Sets `out` to the generated value, reusing its storage.
void GenerateInto(const ColumnSpec& column, std::uint64_t n, Value& out) {
  std::string& text = out ? *out : out.emplace();
  char digits[24];
  const auto number = [&](std::uint64_t value) {
    return std::string_view(digits,
                            static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits,
                                                                   value).ptr - digits));
  };
  switch (column.type) {
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::Hyperlink:
      text.assign(column.name);
      text.push_back(' ');
      text.append(number(n));
      // Bytes are at least as many as UTF-16 units, so a short enough text needs no cut.
      if (column.type == ColumnType::Text && text.size() > static_cast<std::size_t>(column.size)) {
        text = LastCharacters(text, static_cast<std::size_t>(column.size));
      }
      if (column.type == ColumnType::Hyperlink) {
        text.append("#https://example.org/");
        text.append(number(n));
        text.push_back('#');
      }
      return;
    case ColumnType::Byte:
      text.assign(number(n % 256));
      return;
    case ColumnType::Integer:
      text.assign(number(n % 32768));
      return;
    case ColumnType::Long:
      text.assign(number(n % 2147483648ull));
      return;
    case ColumnType::AutoNumber:
      out.reset();
      return;
    case ColumnType::Single:
      text.assign(number(n % (1u << 24)));
      text.append(".25");
      return;
    case ColumnType::Double:
    case ColumnType::Currency:
      text.assign(number(n));
      text.append(".25");
      return;
    case ColumnType::Decimal: {
      std::uint64_t limit = 1;
      for (int i = 0; i < column.precision - column.scale && i < 19; ++i) limit *= 10;
      text.assign(number(column.precision - column.scale >= 19 ? n : n % limit));
      if (column.scale > 0) text.append(".25", std::min(3, column.scale + 1));
      return;
    }
    case ColumnType::Guid: {
      char buffer[48];
      std::snprintf(buffer, sizeof buffer, "{00000000-0000-0000-0000-%012llX}",
                    static_cast<unsigned long long>(n & 0xFFFFFFFFFFFFull));
      text.assign(buffer);
      return;
    }
    case ColumnType::Binary:
    case ColumnType::Ole: {
      char buffer[24];
      std::snprintf(buffer, sizeof buffer, "%016llX", static_cast<unsigned long long>(n));
      const std::size_t keep =
          column.type == ColumnType::Binary ? std::min<std::size_t>(8, column.size) : 8;
      text.assign(buffer + 16 - 2 * keep, 2 * keep);
      return;
    }
    case ColumnType::DateTime: {
      using namespace std::chrono;
      const sys_seconds start = sys_days{year{2000} / January / 1};
      const sys_seconds at = start + minutes{n};
      const sys_days day = floor<days>(at);
      const year_month_day ymd{day};
      const hh_mm_ss<seconds> time{at - day};
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02d:%02d:%02d",
                    static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                    static_cast<unsigned>(ymd.day()), static_cast<int>(time.hours().count()),
                    static_cast<int>(time.minutes().count()),
                    static_cast<int>(time.seconds().count()));
      text.assign(buffer);
      return;
    }
    case ColumnType::YesNo:
      text.assign(n % 2 == 1 ? "1" : "0");
      return;
  }
  out.reset();
}

}  // namespace

Value GeneratedValue(const ColumnSpec& column, std::uint64_t n) {
  Value value;
  GenerateInto(column, n, value);
  return value;
}

GeneratedRows::GeneratedRows(std::vector<ColumnSpec> columns, std::uint64_t count)
    : columns_(std::move(columns)), count_(count) {}

bool GeneratedRows::Next(std::vector<Value>& row) {
  if (next_ >= count_) return false;
  ++next_;
  row.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) GenerateInto(columns_[i], next_, row[i]);
  return true;
}

std::string GeneratedRows::Where() const { return "generated row " + std::to_string(next_); }

}  // namespace mkmdb
