#include "generated_rows.h"

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

}  // namespace

Value GeneratedValue(const ColumnSpec& column, std::uint64_t n) {
  switch (column.type) {
    case ColumnType::Text:
      return LastCharacters(column.name + " " + std::to_string(n),
                            static_cast<std::size_t>(column.size));
    case ColumnType::Memo:
      return column.name + " " + std::to_string(n);
    case ColumnType::Long:
      return std::to_string(n % 2147483648ull);
    case ColumnType::Double:
      return std::to_string(n) + ".25";
    case ColumnType::DateTime: {
      using namespace std::chrono;
      const sys_seconds start = sys_days{year{2000} / January / 1};
      const sys_seconds at = start + minutes{n};
      const sys_days day = floor<days>(at);
      const year_month_day ymd{day};
      const hh_mm_ss<seconds> time{at - day};
      char text[32];
      std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d",
                    static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                    static_cast<unsigned>(ymd.day()), static_cast<int>(time.hours().count()),
                    static_cast<int>(time.minutes().count()),
                    static_cast<int>(time.seconds().count()));
      return std::string(text);
    }
    case ColumnType::YesNo:
      return std::string(n % 2 == 1 ? "1" : "0");
  }
  return std::nullopt;
}

GeneratedRows::GeneratedRows(std::vector<ColumnSpec> columns, std::uint64_t count)
    : columns_(std::move(columns)), count_(count) {}

bool GeneratedRows::Next(std::vector<Value>& row) {
  if (next_ >= count_) return false;
  ++next_;
  row.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) row[i] = GeneratedValue(columns_[i], next_);
  return true;
}

std::string GeneratedRows::Where() const { return "generated row " + std::to_string(next_); }

}  // namespace mkmdb
