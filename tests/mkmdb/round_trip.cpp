#include "round_trip.h"

#include <mdbtools.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "csv.h"
#include "libmdb_reader.h"
#include "program_run.h"

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

double RawDouble(const std::vector<std::uint8_t>& raw) {
  double value = 0;
  if (raw.size() == sizeof value) std::memcpy(&value, raw.data(), sizeof value);
  return value;
}

std::string Shown(const std::string& text) {
  return "\"" + (text.size() > 60 ? text.substr(0, 60) + "...(" + std::to_string(text.size()) +
                                        " bytes)"
                                  : text) +
         "\"";
}

std::string Shown(const Value& value) { return value ? Shown(*value) : "NULL"; }

std::string Place(const mkmdb::TableSpec& table, std::size_t row, std::size_t column) {
  return "table " + table.name + " row " + std::to_string(row + 1) + " column " +
         table.columns[column].name + ": ";
}

// Compares one value read by libmdb; returns a description of a difference or "".
std::string CompareCell(const mkmdb::ColumnSpec& column, const Value& expected,
                        const ReadCell& cell) {
  if (column.type == ColumnType::YesNo) {
    return cell.text == BoolText(*expected) ? "" : "expected " + Shown(expected) + ", read " +
                                                       Shown(cell.text);
  }
  if (!expected) return cell.is_null ? "" : "expected NULL, read " + Shown(cell.text);
  if (cell.is_null) return "expected " + Shown(expected) + ", read NULL";
  switch (column.type) {
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::Long:
      return cell.text == *expected ? "" : "expected " + Shown(expected) + ", read " +
                                               Shown(cell.text);
    case ColumnType::Double: {
      const double want = std::strtod(expected->c_str(), nullptr);
      return RawDouble(cell.raw) == want ? "" : "expected " + Shown(expected) + ", stored " +
                                                    std::to_string(RawDouble(cell.raw));
    }
    case ColumnType::DateTime: {
      const double want = ExpectedDayNumber(*expected);
      if (RawDouble(cell.raw) != want) {
        return "expected day number " + std::to_string(want) + ", stored " +
               std::to_string(RawDouble(cell.raw));
      }
      // mdbtools prints only dates from 1899-12-30 up to day 1,000,000.
      if (want >= 0 && want < 1e6 && cell.text != NormalizedDate(*expected)) {
        return "expected " + Shown(expected) + ", read " + Shown(cell.text);
      }
      return "";
    }
    case ColumnType::YesNo:
      break;
  }
  return "";
}

std::string CompareExported(const mkmdb::ColumnSpec& column, const Value& expected,
                            const std::string& field) {
  std::string want;
  if (column.type == ColumnType::YesNo) {
    want = BoolText(*expected);
  } else if (!expected) {
    want = "";
  } else if (column.type == ColumnType::Double) {
    // mdb-export prints 16 significant digits, which may round past the largest double, so the
    // comparison is made in long double with the rounding allowed; libmdb checks exact bytes.
    const long double got = std::strtold(field.c_str(), nullptr);
    const long double want_value = std::strtod(expected->c_str(), nullptr);
    const long double difference = got > want_value ? got - want_value : want_value - got;
    const long double scale = want_value < 0 ? -want_value : want_value;
    return !field.empty() && difference <= scale * 1e-15L
               ? ""
               : "expected " + Shown(expected) + ", exported " + Shown(field);
  } else if (column.type == ColumnType::DateTime) {
    const double day = ExpectedDayNumber(*expected);
    if (day < 0 || day >= 1e6) return "";
    want = NormalizedDate(*expected);
  } else {
    want = *expected;
  }
  return field == want ? "" : "expected " + Shown(want) + ", exported " + Shown(field);
}

std::string TypeName(const mkmdb::ColumnSpec& column) {
  switch (column.type) {
    case ColumnType::Text: return "Text (" + std::to_string(column.size) + ")";
    case ColumnType::Memo: return "Memo/Hyperlink (255)";
    case ColumnType::Long: return "Long Integer";
    case ColumnType::Double: return "Double";
    case ColumnType::DateTime: return "DateTime";
    case ColumnType::YesNo: return "Boolean NOT NULL";
  }
  return "?";
}

int LibmdbType(ColumnType type) {
  switch (type) {
    case ColumnType::Text: return MDB_TEXT;
    case ColumnType::Memo: return MDB_MEMO;
    case ColumnType::Long: return MDB_LONGINT;
    case ColumnType::Double: return MDB_DOUBLE;
    case ColumnType::DateTime: return MDB_DATETIME;
    case ColumnType::YesNo: return MDB_BOOL;
  }
  return -1;
}

}  // namespace

double ExpectedDayNumber(const std::string& text) {
  const long y = std::atol(text.substr(0, 4).c_str());
  const long m = std::atol(text.substr(5, 2).c_str());
  const long d = std::atol(text.substr(8, 2).c_str());
  double seconds = 0;
  if (text.size() >= 19) {
    seconds = std::atol(text.substr(11, 2).c_str()) * 3600.0 +
              std::atol(text.substr(14, 2).c_str()) * 60.0 + std::atol(text.substr(17, 2).c_str());
  }
  const long days = DaysFromCivil(y, m, d) - DaysFromCivil(1899, 12, 30);
  // Before the epoch the integer part counts days back and the fraction still runs forward.
  return days >= 0 ? days + seconds / 86400.0 : days - seconds / 86400.0;
}

std::string CompareThroughLibmdb(const std::string& path, const mkmdb::TableSpec& expected,
                                 std::size_t bind_size) {
  LibmdbReader reader(path, bind_size);
  if (!reader.error().empty()) return reader.error();
  std::vector<ReadColumn> columns;
  unsigned declared = 0;
  std::size_t row_index = 0;
  std::string problem;
  const bool found = reader.ForEachRow(expected.name, columns, declared, [&](const ReadRow& row) {
    if (!problem.empty()) return;
    if (row_index >= expected.rows.size()) {
      problem = "table " + expected.name + ": more rows than the " +
                std::to_string(expected.rows.size()) + " written";
      return;
    }
    for (std::size_t c = 0; c < expected.columns.size() && c < row.size(); ++c) {
      std::string difference =
          CompareCell(expected.columns[c], expected.rows[row_index][c], row[c]);
      if (!difference.empty()) {
        problem = Place(expected, row_index, c) + difference;
        return;
      }
    }
    ++row_index;
  });
  if (!found) return reader.error();
  if (!problem.empty()) return problem;
  if (columns.size() != expected.columns.size()) {
    return "table " + expected.name + ": libmdb sees " + std::to_string(columns.size()) +
           " columns, " + std::to_string(expected.columns.size()) + " written";
  }
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].name != expected.columns[c].name ||
        columns[c].type != LibmdbType(expected.columns[c].type)) {
      return "table " + expected.name + ": column " + std::to_string(c + 1) + " reads as " +
             columns[c].name + " of type " + std::to_string(columns[c].type);
    }
  }
  if (row_index != expected.rows.size()) {
    return "table " + expected.name + ": libmdb reads " + std::to_string(row_index) +
           " rows, " + std::to_string(expected.rows.size()) + " written";
  }
  if (declared != expected.rows.size()) {
    return "table " + expected.name + ": the definition counts " + std::to_string(declared) +
           " rows";
  }
  return "";
}

std::string CompareThroughExport(const std::string& path, const mkmdb::TableSpec& expected) {
  ProgramResult run = RunProgram(
      {"/usr/bin/mdb-export", "-H", "-T", "%Y-%m-%d %H:%M:%S", path, expected.name});
  if (run.exit_code != 0) return "mdb-export failed: " + run.err;
  const auto rows = ParseCsv(run.out);
  if (rows.size() != expected.rows.size()) {
    return "table " + expected.name + ": mdb-export gives " + std::to_string(rows.size()) +
           " rows, " + std::to_string(expected.rows.size()) + " written";
  }
  for (std::size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].size() != expected.columns.size()) {
      return "table " + expected.name + " row " + std::to_string(r + 1) + ": mdb-export gives " +
             std::to_string(rows[r].size()) + " fields";
    }
    for (std::size_t c = 0; c < rows[r].size(); ++c) {
      std::string difference = CompareExported(expected.columns[c], expected.rows[r][c], rows[r][c]);
      if (!difference.empty()) return Place(expected, r, c) + difference;
    }
  }
  return "";
}

std::string CompareSchemaAndCount(const std::string& path, const mkmdb::TableSpec& expected) {
  ProgramResult count = RunProgram({"/usr/bin/mdb-count", path, expected.name});
  if (count.exit_code != 0) return "mdb-count failed: " + count.err;
  if (std::strtoull(count.out.c_str(), nullptr, 10) != expected.rows.size() ||
      count.out.empty()) {
    return "table " + expected.name + ": mdb-count says " + count.out;
  }
  ProgramResult schema = RunProgram({"/usr/bin/mdb-schema", "-T", expected.name, path});
  if (schema.exit_code != 0) return "mdb-schema failed: " + schema.err;
  // Column lines look like: TAB [name] TAB TAB TAB type [, ]
  std::vector<std::pair<std::string, std::string>> seen;
  std::istringstream lines(schema.out);
  std::string line;
  while (std::getline(lines, line)) {
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
    if (seen[c].first != expected.columns[c].name || seen[c].second != TypeName(expected.columns[c])) {
      return "table " + expected.name + ": mdb-schema shows [" + seen[c].first + "] " +
             seen[c].second + " for " + expected.columns[c].name + " " +
             TypeName(expected.columns[c]);
    }
  }
  return "";
}

std::string CompareTableList(const std::string& path, const std::vector<std::string>& names) {
  ProgramResult run = RunProgram({"/usr/bin/mdb-tables", "-1", path});
  if (run.exit_code != 0) return "mdb-tables failed: " + run.err;
  std::vector<std::string> listed;
  std::istringstream lines(run.out);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty()) listed.push_back(line);
  }
  if (listed != names) return "mdb-tables lists:\n" + run.out;
  return "";
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
