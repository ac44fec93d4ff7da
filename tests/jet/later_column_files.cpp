#include "later_column_files.h"

#include <cstring>
#include <vector>

#include "tests/support/file_edit.h"
#include "jet/calculated_value.h"
#include "jet/format.h"
#include "sample_files.h"

namespace jettest {
namespace {

constexpr std::size_t kDescriptorComplexId = 11;

using testsupport::FileEdit;
using testsupport::Stored;

}  // namespace

std::string WrappedCalculated(const std::string& value) {
  return std::string(16, '\0') + Stored(static_cast<std::uint32_t>(value.size())) + value;
}

std::string AutomationDecimal(std::uint8_t scale, bool negative, std::uint32_t high,
                              std::uint64_t low) {
  return std::string(2, '\0') + static_cast<char>(scale) +
         static_cast<char>(negative ? 0x80 : 0) + Stored(high) + Stored(low);
}

std::string LaterColumnsDatabase() {
  // 21 Doubles: room for three 39-byte calculated fields and a 42-byte extended date at
  // columns 0, 5, 10 and 15 (offsets 0, 40, 80, 120), inside the 168 bytes of the fixed area.
  mkmdb::TableSpec table{"later", {}, {{}}};
  const char* named[] = {"LastFirstLen", "DecimalTest", "MonthlySalary", "Stamp"};
  for (int i = 0; i < 21; ++i) {
    const bool kind = i % 5 == 0 && i < 20;
    table.columns.push_back(
        {kind ? named[i / 5] : "p" + std::to_string(i), mkmdb::ColumnType::Double});
    table.rows[0].push_back("1");
  }
  FileEdit edit(DatabaseBytes({table}));
  edit.RetypeFixed("later", 0, 0x04, 0, 0, true, jet::kCalculatedFixedSize,
                   WrappedCalculated(Stored(std::int32_t{12})));
  edit.RetypeFixed("later", 5, 0x10, 18, 3, true, jet::kCalculatedFixedSize,
                   WrappedCalculated(AutomationDecimal(3, false, 0, 50325)));
  edit.RetypeFixed("later", 10, 0x07, 0, 0, true, jet::kCalculatedFixedSize,
                   WrappedCalculated(Stored(83333.3333)));
  edit.RetypeFixed("later", 15, 0x14, 0, 0, false, 42,
                   "00000000000000730119:0000000043200:1234500");
  return edit.bytes();
}

std::string ComplexDatabase(std::uint32_t colorsId) {
  using mkmdb::ColumnType;
  const std::vector<mkmdb::TableSpec> tables = {
      {"MSysComplexColumns",
       {{"ColumnName", ColumnType::Text, 64}, {"ComplexID", ColumnType::Long},
        {"FlatTableID", ColumnType::Long}},
       {{"colors", "7", "0"}, {"files", "8", "0"}}},
      {"f_colors", {{"Value", ColumnType::Text, 50}, {"_colors", ColumnType::Long}},
       {{"Red", "1"}, {"Green", "2"}, {"Blue", "1"}, {"Lost", std::nullopt}}},
      {"f_files",
       {{"FileData", ColumnType::Ole}, {"FileFlags", ColumnType::Long},
        {"FileName", ColumnType::Text, 255}, {"FileType", ColumnType::Text, 255},
        {"_files", ColumnType::Long}},
       {{"AA", "0", "a.txt", "txt", "1"}, {"BB", "0", "b.png", "png", "1"}}},
      {"owners",
       {{"name", ColumnType::Text, 20}, {"colors", ColumnType::Long}, {"files", ColumnType::Long}},
       {{"one", "1", "1"}, {"two", "2", "2"}, {"three", std::nullopt, "3"}}},
  };
  FileEdit edit(DatabaseBytes(tables));
  for (std::size_t column : {1u, 2u}) {
    std::uint8_t* descriptor = edit.ColumnDescriptor("owners", column);
    descriptor[jet::kJet4Layout.columnType] = 0x12;
    const std::uint32_t id = column == 1 ? colorsId : 8;
    std::memcpy(descriptor + kDescriptorComplexId, &id, sizeof id);
  }
  for (std::size_t row : {0u, 1u}) {
    const std::uint32_t flat = edit.DefinitionPage(row == 0 ? "f_colors" : "f_files");
    std::memcpy(edit.FixedValue("MSysComplexColumns", row, 2), &flat, sizeof flat);
  }
  return edit.bytes();
}

}  // namespace jettest
