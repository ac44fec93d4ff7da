#include "field_value.h"

#include "text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iconv.h>

namespace mdbodbc {
namespace {

uint32_t Le32(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

template <typename T>
T ReadLe(const unsigned char* p) {
  T value;
  std::memcpy(&value, p, sizeof value);  // the files and this platform are little-endian
  return value;
}

// Long values (memo, OLE) start with a 12-byte header in the row: the length with two flag
// bits, and where the data lies when it is not in the row itself.
constexpr size_t kLongValueHeader = 12;
constexpr uint32_t kInlineFlag = 0x80000000u;
constexpr uint32_t kSinglePageFlag = 0x40000000u;
constexpr uint32_t kLengthMask = 0x3FFFFFFFu;
// A chain of data pages cannot be longer than this; a longer one is a damaged file.
constexpr int kMaxChainLinks = 1 << 20;

// One stored row found by its page and row number; the bytes stay valid until the next read.
bool FindStoredRow(MdbHandle* mdb, uint32_t pageRow, const unsigned char*& data, size_t& size) {
  void* buffer = nullptr;
  int offset = 0;
  size_t length = 0;
  if (mdb_find_pg_row(mdb, static_cast<int>(pageRow), &buffer, &offset, &length) != 0) {
    return false;
  }
  size_t pageSize = static_cast<size_t>(mdb->fmt->pg_size);
  if (offset < 0 || static_cast<size_t>(offset) > pageSize || length > pageSize - offset) {
    return false;
  }
  data = static_cast<const unsigned char*>(buffer) + offset;
  size = length;
  return true;
}

std::optional<std::string> ReadLongValue(MdbHandle* mdb, const unsigned char* field, size_t size,
                                         std::string& error) {
  if (size < kLongValueHeader) {
    error = "a long value header is cut short";
    return std::nullopt;
  }
  uint32_t head = Le32(field);
  uint32_t length = head & kLengthMask;
  if (head & kInlineFlag) {
    size_t available = size - kLongValueHeader;
    return std::string(reinterpret_cast<const char*>(field + kLongValueHeader),
                       std::min<size_t>(length, available));
  }
  uint32_t pageRow = Le32(field + 4);
  const unsigned char* data = nullptr;
  size_t dataSize = 0;
  if (head & kSinglePageFlag) {
    if (!FindStoredRow(mdb, pageRow, data, dataSize)) {
      error = "a long value points to a missing page";
      return std::nullopt;
    }
    return std::string(reinterpret_cast<const char*>(data), std::min<size_t>(length, dataSize));
  }
  std::string value;
  for (int link = 0; pageRow != 0 && value.size() < length; ++link) {
    if (link == kMaxChainLinks || !FindStoredRow(mdb, pageRow, data, dataSize) || dataSize < 4) {
      error = "a long value's page chain is broken";
      return std::nullopt;
    }
    pageRow = Le32(data);
    size_t take = std::min<size_t>(dataSize - 4, length - value.size());
    value.append(reinterpret_cast<const char*>(data + 4), take);
  }
  return value;
}

// Jet 3 keeps text in the database's 8-bit code page (Windows-1252 unless told otherwise).
std::u16string DecodeCodePageText(const unsigned char* data, size_t size) {
  const char* charset = std::getenv("MDB_JET3_CHARSET");
  iconv_t cd = iconv_open("UTF-16LE", charset != nullptr && *charset ? charset : "CP1252");
  std::u16string out;
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    for (size_t i = 0; i < size; ++i) out += static_cast<char16_t>(data[i]);
    return out;
  }
  std::string input(reinterpret_cast<const char*>(data), size);
  std::u16string buffer(size * 2 + 4, u'\0');
  char* in = input.data();
  size_t inLeft = input.size();
  char* outPtr = reinterpret_cast<char*>(buffer.data());
  size_t outLeft = buffer.size() * sizeof(char16_t);
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
      if (outLeft < 2) break;
      // A byte the code page does not define: show it as the replacement character.
      char16_t replacement = 0xFFFD;
      std::memcpy(outPtr, &replacement, 2);
      outPtr += 2;
      outLeft -= 2;
      ++in;
      --inLeft;
    }
  }
  iconv_close(cd);
  buffer.resize((outPtr - reinterpret_cast<char*>(buffer.data())) / 2);
  return buffer;
}

std::u16string DecodeStoredText(MdbHandle* mdb, const unsigned char* data, size_t size) {
  if (mdb->f->jet_version == MDB_VER_JET3) return DecodeCodePageText(data, size);
  return DecodeJet4Text(data, size);
}

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

std::string MoneyText(int64_t tenThousandths) {
  bool negative = tenThousandths < 0;
  uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(tenThousandths)
                                : static_cast<uint64_t>(tenThousandths);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  return (negative ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

// The Decimal type: a sign byte, then a 96-bit integer kept as three (or four) 32-bit words,
// most significant word first, scaled by 10^scale.
std::string NumericText(const unsigned char* p, size_t size, int scale) {
  if (size < 17) return {};
  unsigned __int128 value = 0;
  for (int word = 0; word < 4; ++word) {
    value = (value << 32) | Le32(p + 1 + 4 * word);
  }
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
    value /= 10;
  } while (value != 0);
  if (scale > 0) {
    if (digits.size() <= static_cast<size_t>(scale)) {
      digits.insert(0, static_cast<size_t>(scale) - digits.size() + 1, '0');
    }
    digits.insert(digits.size() - static_cast<size_t>(scale), ".");
  }
  return ((p[0] & 0x80) ? "-" : "") + digits;
}

}  // namespace

std::u16string DecodeJet4Text(const unsigned char* data, size_t size) {
  std::u16string out;
  if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
    // Compressed: one byte per character; a zero byte switches between one and two bytes.
    bool compressed = true;
    size_t i = 2;
    while (i < size) {
      if (data[i] == 0) {
        compressed = !compressed;
        ++i;
      } else if (compressed) {
        out += static_cast<char16_t>(data[i]);
        ++i;
      } else if (i + 1 < size) {
        out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        i += 2;
      } else {
        break;
      }
    }
    return out;
  }
  out.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) {
    out += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  return out;
}

SQL_TIMESTAMP_STRUCT TimestampFromOleDate(double value) {
  SQL_TIMESTAMP_STRUCT ts{};
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) return ts;
  double whole = std::trunc(value);
  int64_t days = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(value - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += 1;
  }
  int64_t year = 0;
  unsigned month = 0;
  unsigned day = 0;
  CivilFromDays(DaysFromCivil(1899, 12, 30) + days, year, month, day);
  ts.year = static_cast<SQLSMALLINT>(year);
  ts.month = static_cast<SQLUSMALLINT>(month);
  ts.day = static_cast<SQLUSMALLINT>(day);
  ts.hour = static_cast<SQLUSMALLINT>(seconds / 3600);
  ts.minute = static_cast<SQLUSMALLINT>(seconds / 60 % 60);
  ts.second = static_cast<SQLUSMALLINT>(seconds % 60);
  return ts;
}

std::optional<FieldValue> DecodeField(MdbHandle* mdb, const MdbColumn& column, int columnIndex,
                                      const RawRow& row, std::string& error) {
  FieldValue value;
  if (columnIndex < 0 || static_cast<size_t>(columnIndex) >= row.fields.size()) {
    error = "the row has no value for this column";
    return std::nullopt;
  }
  const RawField& field = row.fields[static_cast<size_t>(columnIndex)];
  if (column.col_type == MDB_BOOL) {
    // A Yes/No value lives in the row's null mask: a set bit (reported as not null) is Yes.
    value.kind = ValueKind::Bit;
    value.integer = field.isNull ? 0 : 1;
    return value;
  }
  if (field.isNull) {
    value.isNull = true;
    return value;
  }
  if (field.damaged) {
    error = "the stored row is damaged";
    return std::nullopt;
  }
  const unsigned char* p = row.bytes.data() + field.offset;
  size_t size = field.size;
  auto need = [&](size_t bytes) {
    if (size >= bytes) return true;
    error = "a stored value is shorter than its type";
    return false;
  };
  switch (column.col_type) {
    case MDB_BYTE:
      if (!need(1)) return std::nullopt;
      value.kind = ValueKind::Integer;
      value.integer = p[0];
      return value;
    case MDB_INT:
      if (!need(2)) return std::nullopt;
      value.kind = ValueKind::Integer;
      value.integer = ReadLe<int16_t>(p);
      return value;
    case MDB_LONGINT:
      if (!need(4)) return std::nullopt;
      value.kind = ValueKind::Integer;
      value.integer = ReadLe<int32_t>(p);
      return value;
    case MDB_MONEY:
      if (!need(8)) return std::nullopt;
      value.kind = ValueKind::Decimal;
      value.decimal = MoneyText(ReadLe<int64_t>(p));
      return value;
    case MDB_FLOAT:
      if (!need(4)) return std::nullopt;
      value.kind = ValueKind::Real;
      value.real = ReadLe<float>(p);
      return value;
    case MDB_DOUBLE:
      if (!need(8)) return std::nullopt;
      value.kind = ValueKind::Real;
      value.real = ReadLe<double>(p);
      return value;
    case MDB_DATETIME:
      if (!need(8)) return std::nullopt;
      value.kind = ValueKind::Timestamp;
      value.timestamp = TimestampFromOleDate(ReadLe<double>(p));
      return value;
    case MDB_NUMERIC:
      if (!need(17)) return std::nullopt;
      value.kind = ValueKind::Decimal;
      value.decimal = NumericText(p, size, column.col_scale);
      return value;
    case MDB_REPID:
      if (!need(16)) return std::nullopt;
      value.kind = ValueKind::Guid;
      value.bytes.assign(reinterpret_cast<const char*>(p), 16);
      return value;
    case MDB_TEXT:
      value.kind = ValueKind::Text;
      value.text = DecodeStoredText(mdb, p, size);
      return value;
    case MDB_MEMO: {
      std::optional<std::string> data = ReadLongValue(mdb, p, size, error);
      if (!data) return std::nullopt;
      value.kind = ValueKind::Text;
      value.text = DecodeStoredText(mdb, reinterpret_cast<const unsigned char*>(data->data()),
                                    data->size());
      return value;
    }
    case MDB_OLE: {
      std::optional<std::string> data = ReadLongValue(mdb, p, size, error);
      if (!data) return std::nullopt;
      value.kind = ValueKind::Binary;
      value.bytes = std::move(*data);
      return value;
    }
    default:
      value.kind = ValueKind::Binary;
      value.bytes.assign(reinterpret_cast<const char*>(p), size);
      return value;
  }
}

}  // namespace mdbodbc
