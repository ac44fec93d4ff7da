// Reading and naming column types, as the command line writes them.
#include <algorithm>
#include <charconv>
#include <string>

#include "mdb_writer.h"

namespace mkmdb {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return out;
}

struct NamedType {
  const char* name;
  ColumnType type;
};

// Types written by name alone; the first name of each type is the one ColumnTypeName gives.
constexpr NamedType kPlainTypes[] = {
    {"memo", ColumnType::Memo},         {"hyperlink", ColumnType::Hyperlink},
    {"byte", ColumnType::Byte},         {"integer", ColumnType::Integer},
    {"short", ColumnType::Integer},     {"long", ColumnType::Long},
    {"longinteger", ColumnType::Long},  {"autonumber", ColumnType::AutoNumber},
    {"counter", ColumnType::AutoNumber}, {"single", ColumnType::Single},
    {"float", ColumnType::Single},      {"double", ColumnType::Double},
    {"currency", ColumnType::Currency}, {"money", ColumnType::Currency},
    {"datetime", ColumnType::DateTime}, {"date", ColumnType::DateTime},
    {"yesno", ColumnType::YesNo},       {"bool", ColumnType::YesNo},
    {"boolean", ColumnType::YesNo},     {"guid", ColumnType::Guid},
    {"replicationid", ColumnType::Guid}, {"ole", ColumnType::Ole},
    {"oleobject", ColumnType::Ole},
};

// The numbers inside "name(...)", separated by commas; false when `type` is not `name` with
// exactly `count` whole numbers in parentheses.
bool Arguments(const std::string& type, std::string_view name, int count, int* out) {
  if (type.size() < name.size() + 2 || type.compare(0, name.size(), name) != 0 ||
      type[name.size()] != '(' || type.back() != ')') {
    return false;
  }
  std::string_view rest(type.data() + name.size() + 1, type.size() - name.size() - 2);
  for (int i = 0; i < count; ++i) {
    const std::size_t end = i + 1 < count ? rest.find(',') : rest.size();
    if (end == std::string_view::npos) return false;
    const std::string_view digits = rest.substr(0, end);
    auto [stop, error] = std::from_chars(digits.data(), digits.data() + digits.size(), out[i]);
    if (digits.empty() || error != std::errc() || stop != digits.data() + digits.size()) {
      return false;
    }
    rest.remove_prefix(std::min(rest.size(), end + 1));
  }
  return true;
}

}  // namespace

ColumnSpec ParseColumnSpec(std::string_view text) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    throw WriterError("column \"" + std::string(text) + "\" has no type; write NAME:TYPE");
  }
  ColumnSpec column{std::string(text.substr(0, colon)), ColumnType::Text};
  const std::string written(text.substr(colon + 1));
  const std::string type = Lower(written);
  const auto refuse = [&](const std::string& why) {
    return WriterError("column \"" + column.name + "\": " + why);
  };
  for (const NamedType& plain : kPlainTypes) {
    if (type == plain.name) {
      column.type = plain.type;
      return column;
    }
  }
  int numbers[2] = {};
  if (type.rfind("text(", 0) == 0) {
    if (!Arguments(type, "text", 1, numbers) || numbers[0] < 1 || numbers[0] > 255) {
      throw refuse("the size of text(N) must be 1 to 255, not \"" + written.substr(4) + "\"");
    }
    column.size = numbers[0];
    return column;
  }
  if (type.rfind("binary(", 0) == 0) {
    if (!Arguments(type, "binary", 1, numbers) || numbers[0] < 1 || numbers[0] > 510) {
      throw refuse("the size of binary(N) must be 1 to 510 bytes, not \"" + written.substr(6) +
                   "\"");
    }
    column.type = ColumnType::Binary;
    column.size = numbers[0];
    return column;
  }
  if (type.rfind("decimal(", 0) == 0 || type.rfind("numeric(", 0) == 0) {
    if (!Arguments(type, type.substr(0, 7), 2, numbers) || numbers[0] < 1 || numbers[0] > 28 ||
        numbers[1] < 0 || numbers[1] > numbers[0]) {
      throw refuse("decimal(P,S) wants a precision P from 1 to 28 and a scale S from 0 to P, not \"" +
                   written.substr(7) + "\"");
    }
    column.type = ColumnType::Decimal;
    column.precision = numbers[0];
    column.scale = numbers[1];
    return column;
  }
  throw refuse("unknown type \"" + written +
               "\" (text(N), memo, hyperlink, byte, integer, long, autonumber, single, double, "
               "currency, decimal(P,S), datetime, yesno, guid, binary(N), ole)");
}

std::string ColumnTypeName(const ColumnSpec& column) {
  switch (column.type) {
    case ColumnType::Text: return "text(" + std::to_string(column.size) + ")";
    case ColumnType::Binary: return "binary(" + std::to_string(column.size) + ")";
    case ColumnType::Decimal:
      return "decimal(" + std::to_string(column.precision) + "," + std::to_string(column.scale) +
             ")";
    default:
      for (const NamedType& plain : kPlainTypes) {
        if (plain.type == column.type) return plain.name;
      }
  }
  return "?";
}

}  // namespace mkmdb
