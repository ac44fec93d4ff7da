#include "round_trip.h"

#include <mdbtools.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <sstream>

#include "tests/support/libmdb_oracle.h"

namespace mkmdb_test {
namespace {

using mkmdb::ColumnType;
using mkmdb::Value;

// Days from 0000-03-01 to the given date (Gregorian), the usual shifted-year count.
long DaysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe;
}

// The date text mdbtools prints for an input date value.
std::string NormalizedDate(const std::string& text) {
  std::string out = text.size() == 10 ? text + " 00:00:00" : text;
  if (out.size() > 10) out[10] = ' ';
  return out;
}

std::string BoolText(const std::string& text) {
  std::string lower;
  for (char c : text) lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return (lower == "1" || lower == "true" || lower == "yes") ? "1" : "0";
}

template <typename T>
T Raw(const std::vector<std::uint8_t>& raw) {
  T value = 0;
  if (raw.size() == sizeof value) std::memcpy(&value, raw.data(), sizeof value);
  return value;
}

// [-]digits[.digits] as the integer `value` times 10^scale and its sign, digit by digit.
void Scaled(const std::string& text, int scale, bool& negative, unsigned __int128& value) {
  negative = !text.empty() && text[0] == '-';
  value = 0;
  int fraction = -1;
  for (char c : text) {
    if (c == '.') {
      fraction = 0;
    } else if (c >= '0' && c <= '9') {
      value = value * 10 + static_cast<unsigned>(c - '0');
      if (fraction >= 0) ++fraction;
    }
  }
  for (int i = std::max(fraction, 0); i < scale; ++i) value *= 10;
  if (value == 0) negative = false;
}

// The stored ten-thousandths of a currency value.
std::int64_t CurrencyValue(const std::string& text) {
  std::string digits = DecimalText(text, 4);
  return std::stoll(digits.erase(digits.size() - 5, 1));
}

std::string UpperHexDigits(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::isxdigit(static_cast<unsigned char>(c))) {
      out.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
  }
  return out;
}

std::string Shown(const std::string& text) {
  if (text.size() <= 60) return "\"" + text + "\"";
  return "\"" + text.substr(0, 60) + "...(" + std::to_string(text.size()) + " bytes)\"";
}

std::string Shown(const Value& value) { return value ? Shown(*value) : "NULL"; }

// The text libmdb and mdb-export both print for a value written as `expected` ("" for NULL),
// or nothing where that text is not compared: numbers they round, bytes they cut at a zero,
// GUIDs they print without the last dash, and dates they leave unconverted (before 1899-12-30,
// from day 1,000,000, or given to the millisecond).
std::optional<std::string> PrintedText(const mkmdb::ColumnSpec& column, const Value& expected) {
  if (column.type == ColumnType::YesNo) return BoolText(*expected);
  if (!expected) return "";
  switch (column.type) {
    case ColumnType::Currency: return DecimalText(*expected, 4);
    case ColumnType::Decimal: return DecimalText(*expected, column.scale);
    case ColumnType::DateTime: {
      const double day = ExpectedDayNumber(*expected);
      if (day < 0 || day >= 1e6 || expected->size() > 19) return std::nullopt;
      return NormalizedDate(*expected);
    }
    case ColumnType::Single: case ColumnType::Double: case ColumnType::Guid:
    case ColumnType::Binary: case ColumnType::Ole: return std::nullopt;
    default: return *expected;
  }
}

// Compares one value read by libmdb, its text and the exact bytes stored; returns a description
// of a difference or "".
std::string CompareCell(const mkmdb::ColumnSpec& column, const Value& expected,
                        const testsupport::OracleCell& cell) {
  const auto differs = [&](const std::string& read) {
    return "expected " + Shown(expected) + ", read " + Shown(read);
  };
  if (column.type != ColumnType::YesNo && (!expected || cell.is_null)) {
    return !expected == cell.is_null ? "" : differs(cell.is_null ? "NULL" : cell.text);
  }
  const std::optional<std::string> printed = PrintedText(column, expected);
  if (printed && cell.text != *printed) return differs(cell.text);
  const auto stored = [&](auto value, auto want, const char* unit = "") {
    return value == want ? "" : "expected " + Shown(expected) + ", stored " +
                                    std::to_string(value) + unit;
  };
  switch (column.type) {
    case ColumnType::Ole:
    case ColumnType::Binary: return cell.raw == HexBytes(*expected) ? "" : differs(cell.text);
    case ColumnType::Guid: return cell.raw == GuidBytes(*expected) ? "" : differs(cell.text);
    case ColumnType::Currency:
      return stored(Raw<std::int64_t>(cell.raw), CurrencyValue(*expected), " ten-thousandths");
    case ColumnType::Single:
      return stored(Raw<float>(cell.raw), std::strtof(expected->c_str(), nullptr));
    case ColumnType::Double:
      return stored(Raw<double>(cell.raw), std::strtod(expected->c_str(), nullptr));
    case ColumnType::DateTime:
      return stored(Raw<double>(cell.raw), ExpectedDayNumber(*expected), " as the day number");
    default: return "";
  }
}

std::string CompareExported(const mkmdb::ColumnSpec& column, const Value& expected,
                            const std::string& field) {
  const auto differs = [&](const std::string& want) {
    return "expected " + Shown(want) + ", exported " + Shown(field);
  };
  const auto close_to = [&](long double want, long double relative) {
    const long double got = std::strtold(field.c_str(), nullptr);
    const long double difference = got > want ? got - want : want - got;
    return !field.empty() && difference <= (want < 0 ? -want : want) * relative
               ? "" : differs(*expected);
  };
  if (expected && column.type == ColumnType::Double) {
    // mdb-export prints 16 significant digits, which may round past the largest double, so the
    // comparison is made in long double with the rounding allowed; libmdb checks exact bytes.
    return close_to(std::strtod(expected->c_str(), nullptr), 1e-15L);
  } else if (expected && column.type == ColumnType::Single) {
    return close_to(std::strtof(expected->c_str(), nullptr), 1e-7L);
  } else if (expected && column.type == ColumnType::Guid) {
    // mdbtools leaves out the dash before the last group: compare the digits.
    return UpperHexDigits(field) == UpperHexDigits(*expected) && field.size() == 37
               ? "" : differs(*expected);
  }
  const std::optional<std::string> printed = PrintedText(column, expected);
  return !printed || field == *printed ? "" : differs(*printed);
}

// The rows `reader` gave against the rows written, value by value through `compare`.
template <typename Row, typename Compare>
std::string CompareRows(const mkmdb::TableSpec& expected, const std::vector<Row>& rows,
                        const std::string& reader, Compare compare) {
  if (rows.size() != expected.rows.size()) {
    return "table " + expected.name + ": " + reader + " gives " + std::to_string(rows.size()) +
           " rows, " + std::to_string(expected.rows.size()) + " written";
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].size() != expected.columns.size()) {
      return "table " + expected.name + " row " + std::to_string(r + 1) + ": " + reader +
             " gives " + std::to_string(rows[r].size()) + " values";
    }
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      const std::string difference = compare(expected.columns[c], expected.rows[r][c], rows[r][c]);
      if (!difference.empty()) {
        return "table " + expected.name + " row " + std::to_string(r + 1) + " column " +
               expected.columns[c].name + ": " + difference;
      }
    }
  }
  return "";
}

// How mdb-schema names a column's type, and libmdb's number for it.
std::pair<std::string, int> ReadType(const mkmdb::ColumnSpec& column) {
  switch (column.type) {
    case ColumnType::Text: return {"Text (" + std::to_string(column.size) + ")", MDB_TEXT};
    case ColumnType::Memo:
    case ColumnType::Hyperlink: return {"Memo/Hyperlink (255)", MDB_MEMO};
    case ColumnType::Long:
    case ColumnType::AutoNumber: return {"Long Integer", MDB_LONGINT};
    case ColumnType::Double: return {"Double", MDB_DOUBLE};
    case ColumnType::DateTime: return {"DateTime", MDB_DATETIME};
    case ColumnType::YesNo: return {"Boolean NOT NULL", MDB_BOOL};
    case ColumnType::Byte: return {"Byte", MDB_BYTE};
    case ColumnType::Integer: return {"Integer", MDB_INT};
    case ColumnType::Single: return {"Single", MDB_FLOAT};
    case ColumnType::Currency: return {"Currency", MDB_MONEY};
    case ColumnType::Decimal:
      return {"Numeric (" + std::to_string(column.precision) + ", " +
                  std::to_string(column.scale) + ")",
              MDB_NUMERIC};
    case ColumnType::Guid: return {"Replication ID", MDB_REPID};
    case ColumnType::Binary: return {"Binary", MDB_BINARY};
    case ColumnType::Ole: return {"OLE (255)", MDB_OLE};
  }
  return {"?", -1};
}

}  // namespace

testsupport::ChildOptions ProgramOptions(const std::vector<std::string>& argv) {
  testsupport::ChildOptions options;
  options.argv = argv;
  options.environment = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt},
                         {"LANG", std::nullopt},    {"LANGUAGE", std::nullopt},
                         {"LC_*", std::nullopt},    {"LC_ALL", "C.UTF-8"}};
  return options;
}

ProgramResult RunProgram(const std::vector<std::string>& argv) {
  return testsupport::RunChild(ProgramOptions(argv), kProgramDeadline);
}

std::vector<std::vector<std::string>> ParseCsv(std::string_view text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  bool any = false;  // something seen on the current row
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field.push_back(c);
      }
      continue;
    }
    any = true;
    if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      field.push_back(c);
    }
  }
  if (any) {
    row.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::vector<std::uint8_t> HexBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::string HexText(const void* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    const unsigned byte = static_cast<const std::uint8_t*>(bytes)[i];
    out += {kDigits[byte >> 4], kDigits[byte & 15]};
  }
  return out;
}

std::string ScaledText(bool negative, unsigned __int128 magnitude, int scale) {
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  while (digits.size() <= static_cast<std::size_t>(scale)) digits.insert(digits.begin(), '0');
  if (scale > 0) digits.insert(digits.end() - scale, '.');
  return (negative ? "-" : "") + digits;
}

std::string DecimalText(const std::string& text, int scale) {
  bool negative = false;
  unsigned __int128 value = 0;
  Scaled(text, scale, negative, value);
  return ScaledText(negative, value, scale);
}

std::vector<std::uint8_t> GuidBytes(const std::string& text) {
  std::vector<std::uint8_t> bytes = HexBytes(UpperHexDigits(text));
  if (bytes.size() != 16) return bytes;
  std::reverse(bytes.begin(), bytes.begin() + 4);
  std::reverse(bytes.begin() + 4, bytes.begin() + 6);
  std::reverse(bytes.begin() + 6, bytes.begin() + 8);
  return bytes;
}

double ExpectedDayNumber(const std::string& text) {
  const long y = std::atol(text.substr(0, 4).c_str());
  const long m = std::atol(text.substr(5, 2).c_str());
  const long d = std::atol(text.substr(8, 2).c_str());
  long milliseconds = 0;
  if (text.size() >= 19) {
    milliseconds = (std::atol(text.substr(11, 2).c_str()) * 3600 +
                    std::atol(text.substr(14, 2).c_str()) * 60 +
                    std::atol(text.substr(17, 2).c_str())) * 1000;
  }
  if (text.size() > 20) {
    std::string fraction = text.substr(20);
    fraction.resize(3, '0');
    milliseconds += std::atol(fraction.c_str());
  }
  const long days = DaysFromCivil(y, m, d) - DaysFromCivil(1899, 12, 30);
  // Before the epoch the integer part counts days back and the fraction still runs forward.
  const double part = static_cast<double>(milliseconds) / 86400000.0;
  return days >= 0 ? days + part : days - part;
}

mkmdb::TableSpec WithAutoNumbers(const mkmdb::TableSpec& table) {
  mkmdb::TableSpec out = table;
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    if (table.columns[c].type != ColumnType::AutoNumber) continue;
    long long last = 0;
    for (auto& row : out.rows) {
      if (row[c]) {
        last = std::max(last, std::atoll(row[c]->c_str()));
      } else {
        row[c] = std::to_string(++last);
      }
    }
  }
  return out;
}

std::string CompareThroughLibmdb(const std::string& path, const mkmdb::TableSpec& written,
                                 std::size_t bind_size) {
  const mkmdb::TableSpec expected = WithAutoNumbers(written);
  testsupport::LibmdbOracle reader(path, bind_size);
  const std::optional<testsupport::OracleTable> read = reader.Read(expected.name);
  if (!read) return reader.error();
  if (read->columns.size() != expected.columns.size()) {
    return "table " + expected.name + ": libmdb sees " + std::to_string(read->columns.size()) +
           " columns, " + std::to_string(expected.columns.size()) + " written";
  }
  for (std::size_t c = 0; c < read->columns.size(); ++c) {
    const testsupport::OracleColumn& column = read->columns[c];
    if (column.name != expected.columns[c].name ||
        column.type != ReadType(expected.columns[c]).second) {
      return "table " + expected.name + ": column " + std::to_string(c + 1) + " reads as " +
             column.name + " of type " + std::to_string(column.type);
    }
  }
  if (read->declared_rows != expected.rows.size()) {
    return "table " + expected.name + ": the definition counts " +
           std::to_string(read->declared_rows) + " rows";
  }
  return CompareRows(expected, read->rows, "libmdb", CompareCell);
}

std::string CompareThroughExport(const std::string& path, const mkmdb::TableSpec& written) {
  const mkmdb::TableSpec expected = WithAutoNumbers(written);
  ProgramResult run = RunProgram(
      {"/usr/bin/mdb-export", "-H", "-T", "%Y-%m-%d %H:%M:%S", path, expected.name});
  if (run.exitCode != 0) return "mdb-export failed: " + run.err;
  return CompareRows(expected, ParseCsv(run.out), "mdb-export", CompareExported);
}

std::string CompareSchemaAndCount(const std::string& path, const mkmdb::TableSpec& expected) {
  ProgramResult count = RunProgram({"/usr/bin/mdb-count", path, expected.name});
  if (count.exitCode != 0) return "mdb-count failed: " + count.err;
  if (std::strtoull(count.out.c_str(), nullptr, 10) != expected.rows.size() ||
      count.out.empty()) {
    return "table " + expected.name + ": mdb-count says " + count.out;
  }
  ProgramResult schema = RunProgram({"/usr/bin/mdb-schema", "-T", expected.name, path});
  if (schema.exitCode != 0) return "mdb-schema failed: " + schema.err;
  // Column lines look like: TAB [name] TAB TAB TAB type [, ]
  std::vector<std::pair<std::string, std::string>> seen;
  std::istringstream lines(schema.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() < 3 || line[0] != '\t' || line[1] != '[') continue;
    const auto close = line.find("]\t");
    if (close == std::string::npos) continue;
    std::string type = line.substr(line.find_first_not_of('\t', close + 1));
    while (!type.empty() && (type.back() == ' ' || type.back() == ',')) type.pop_back();
    seen.emplace_back(line.substr(2, close - 2), type);
  }
  if (seen.size() != expected.columns.size()) {
    return "table " + expected.name + ": mdb-schema lists " + std::to_string(seen.size()) +
           " columns:\n" + schema.out;
  }
  for (std::size_t c = 0; c < seen.size(); ++c) {
    const std::string type = ReadType(expected.columns[c]).first;
    if (seen[c].first != expected.columns[c].name || seen[c].second != type) {
      return "table " + expected.name + ": mdb-schema shows [" + seen[c].first + "] " +
             seen[c].second + " for " + expected.columns[c].name + " " + type;
    }
  }
  return "";
}

std::string CompareTableList(const std::string& path, const std::vector<std::string>& names) {
  ProgramResult run = RunProgram({"/usr/bin/mdb-tables", "-1", path});
  if (run.exitCode != 0) return "mdb-tables failed: " + run.err;
  std::vector<std::string> listed;
  std::istringstream lines(run.out);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty()) listed.push_back(line);
  }
  return listed == names ? "" : "mdb-tables lists:\n" + run.out;
}

std::string CompareAll(const std::string& path, const std::vector<mkmdb::TableSpec>& tables) {
  std::vector<std::string> names;
  for (const auto& table : tables) names.push_back(table.name);
  std::string problem = CompareTableList(path, names);
  for (const auto& table : tables) {
    if (!problem.empty()) break;
    problem = CompareThroughLibmdb(path, table);
    if (problem.empty()) problem = CompareThroughExport(path, table);
    if (problem.empty()) problem = CompareSchemaAndCount(path, table);
  }
  return problem;
}

}  // namespace mkmdb_test
