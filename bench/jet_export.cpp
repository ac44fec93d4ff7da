// Writes a table of an Access file as CSV through the jet reader, the way mdb-export does:
// a header line, then one line per row, text in double quotes. For comparing the two.
//
//   jet_export [--rows N] FILE TABLE   (--rows: stop after the first N rows)
//   jet_export FILE                    (lists the user tables)
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <string>

#include "jet/database.h"
#include "jet/date_time.h"
#include "jet/extended_date.h"

namespace {

// Standard output through a buffer of its own.
class Output {
 public:
  ~Output() { Flush(); }
  void Put(char c) {
    if (used_ == sizeof buffer_) Flush();
    buffer_[used_++] = c;
  }
  void Put(std::string_view text) {
    if (text.size() > sizeof buffer_ - used_) {
      Flush();
      if (text.size() > sizeof buffer_) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return;
      }
    }
    std::memcpy(buffer_ + used_, text.data(), text.size());
    used_ += text.size();
  }
  void Flush() {
    std::fwrite(buffer_, 1, used_, stdout);
    used_ = 0;
  }

 private:
  char buffer_[1 << 16];
  std::size_t used_ = 0;
};

void PutNumber(Output& out, std::int64_t value) {
  char text[24];
  const auto end = std::to_chars(text, text + sizeof text, value).ptr;
  out.Put(std::string_view(text, static_cast<std::size_t>(end - text)));
}

void PutQuoted(Output& out, std::string_view text) {
  out.Put('"');
  for (;;) {
    const std::size_t quote = text.find('"');
    if (quote == std::string_view::npos) break;
    out.Put(text.substr(0, quote + 1));
    out.Put('"');
    text.remove_prefix(quote + 1);
  }
  out.Put(text);
  out.Put('"');
}

void PutValue(Output& out, const jet::Value& value) {
  static const char kHex[] = "0123456789ABCDEF";
  char text[40];
  switch (value.kind) {
    case jet::ValueKind::Null:
      return;
    case jet::ValueKind::Bool:
    case jet::ValueKind::Integer:
      PutNumber(out, value.integer);
      return;
    case jet::ValueKind::Money: {
      // Ten-thousandths: the whole part, then always four decimals.
      const std::int64_t v = value.integer;
      const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : v;
      if (v < 0) out.Put('-');
      const auto end = std::to_chars(text, text + sizeof text, magnitude / 10000).ptr;
      out.Put(std::string_view(text, static_cast<std::size_t>(end - text)));
      const auto fraction = static_cast<unsigned>(magnitude % 10000);
      const char decimals[] = {'.', static_cast<char>('0' + fraction / 1000),
                               static_cast<char>('0' + fraction / 100 % 10),
                               static_cast<char>('0' + fraction / 10 % 10),
                               static_cast<char>('0' + fraction % 10)};
      out.Put(std::string_view(decimals, sizeof decimals));
      return;
    }
    case jet::ValueKind::Real: {
      const auto end = std::to_chars(text, text + sizeof text, value.real).ptr;
      out.Put(std::string_view(text, static_cast<std::size_t>(end - text)));
      return;
    }
    case jet::ValueKind::DateTime:
      text[0] = '"';
      jet::PutDateTimeText(value.real, text + 1);
      text[1 + jet::kDateTimeTextSize] = '"';
      out.Put(std::string_view(text, jet::kDateTimeTextSize + 2));
      return;
    case jet::ValueKind::DateTimeExtended:
      PutQuoted(out, jet::ExtendedDateText(value.integer));
      return;
    case jet::ValueKind::Decimal:
      out.Put(value.bytes);
      return;
    case jet::ValueKind::Text:
      PutQuoted(out, value.bytes);
      return;
    case jet::ValueKind::Binary:
    case jet::ValueKind::Guid:
      for (char c : value.bytes) {
        out.Put(kHex[static_cast<unsigned char>(c) >> 4]);
        out.Put(kHex[static_cast<unsigned char>(c) & 15]);
      }
      return;
    case jet::ValueKind::Error:
      std::fprintf(stderr, "%s\n", value.bytes.c_str());
      out.Put("#ERROR");
      return;
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::uint64_t limit = UINT64_MAX;
  if (argc > 2 && std::string_view(argv[1]) == "--rows") {
    limit = std::strtoull(argv[2], nullptr, 10);
    argv += 2;
    argc -= 2;
  }
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: jet_export [--rows N] FILE [TABLE]\n");
    return 2;
  }
  std::string error;
  auto database = jet::Database::Open(argv[1], error);
  if (database == nullptr) {
    std::fprintf(stderr, "jet_export: %s\n", error.c_str());
    return 1;
  }
  if (argc == 2) {
    for (const auto& table : database->Tables()) {
      if (!table.system) std::printf("%s\n", table.name.c_str());
    }
    return 0;
  }
  jet::TableDefinition table;
  if (!database->ReadDefinition(argv[2], table, error)) {
    std::fprintf(stderr, "jet_export: %s\n", error.c_str());
    return 1;
  }
  Output out;
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    if (c > 0) out.Put(',');
    out.Put(table.columns[c].name);
  }
  out.Put('\n');
  auto scan = database->StartScan(table);
  jet::Value value;
  for (std::uint64_t row = 0; row < limit && scan->Next(); ++row) {
    for (std::size_t c = 0; c < table.columns.size(); ++c) {
      if (c > 0) out.Put(',');
      scan->Read(c, value);
      PutValue(out, value);
    }
    out.Put('\n');
  }
  out.Flush();
  if (!scan->Error().empty()) {
    std::fprintf(stderr, "jet_export: %s\n", scan->Error().c_str());
    return 1;
  }
  return 0;
}
