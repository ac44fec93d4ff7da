// How rows are stored and found: deleted rows, rows moved to another page, rows written before
// a column was added, broken offsets; and files of other versions or kinds.
#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "tests/support/file_edit.h"
#include "jet/rc4.h"
#include "jet/row_layout.h"
#include "sample_files.h"
#include "read_everything.h"

namespace jettest {
namespace {

using testsupport::FileEdit;

using Rows = std::vector<std::vector<std::string>>;

std::string ThreeRows() {
  return DatabaseBytes({{"t",
                         {{"name", mkmdb::ColumnType::Text, 20}, {"n", mkmdb::ColumnType::Long}},
                         {{"a", "1"}, {"b", "2"}, {"c", "3"}}}});
}

void SetFlags(FileEdit& edit, std::size_t row, std::uint16_t flags) {
  std::uint8_t* entry = edit.RowEntry(edit.RowPointer("t", row));
  jet::PutU16(entry, static_cast<std::uint16_t>(jet::GetU16(entry) | flags));
}

// Makes row `row` a pointer to `target` (its bytes stay, the pointer in the first four).
void PointRowTo(FileEdit& edit, std::size_t row, std::uint32_t target) {
  const std::uint32_t pointer = edit.RowPointer("t", row);
  SetFlags(edit, row, jet::kRowOverflow);
  std::size_t size = 0;
  jet::PutU32(edit.RowBytes(pointer, size), target);
}

// Moves the body of row `row` to a new page, as Access does when an update no longer fits.
void MoveRow(FileEdit& edit, std::size_t row) {
  const std::uint32_t pointer = edit.RowPointer("t", row);
  const std::uint32_t owner = edit.DefinitionPage("t");
  std::size_t size = 0;
  const std::uint8_t* bytes = edit.RowBytes(pointer, size);
  const std::string body(bytes, bytes + size);
  const std::uint32_t page = edit.AddPage();
  std::uint8_t* p = edit.Page(page);
  const std::size_t start = edit.PageSize() - size;
  p[0] = jet::kPageData;
  jet::PutU32(p + jet::kJet4Layout.dataOwner, owner);
  jet::PutU16(p + jet::kJet4Layout.dataRowCount, 1);
  jet::PutU16(p + jet::kJet4Layout.dataRowCount + 2,
              static_cast<std::uint16_t>(start | jet::kRowDeleted));
  std::memcpy(p + start, body.data(), size);
  PointRowTo(edit, row, jet::PageRow(page, 0));
}

void SetRowU16(FileEdit& edit, std::size_t row, std::size_t offset, std::uint16_t value) {
  std::size_t size = 0;
  std::uint8_t* bytes = edit.RowBytes(edit.RowPointer("t", row), size);
  jet::PutU16(bytes + (offset < size ? offset : size + offset), value);
}

// Edits the file and returns the rows a scan must then give.
struct RowCase {
  const char* name;
  std::function<Rows(FileEdit&)> edit;
};

TEST(RowStorageTest, RowsAreFoundWhereverTheyAreStored) {
  const std::vector<std::string> a = {"text:a", "int:1"}, b = {"text:b", "int:2"},
                                 c = {"text:c", "int:3"};
  // The start of a scan error about the second row.
  const auto second = [](FileEdit& e) {
    const std::uint32_t pointer = e.RowPointer("t", 1);
    return "scan error: table \"t\": data page " + std::to_string(pointer >> 8) + " row " +
           std::to_string(pointer & 0xFF);
  };
  // An edit whose expected rows do not depend on the file.
  const auto then = [](std::function<void(FileEdit&)> edit, Rows rows) {
    return [edit, rows](FileEdit& e) {
      edit(e);
      return rows;
    };
  };
  const RowCase cases[] = {
      {"untouched", then([](FileEdit&) {}, {a, b, c})},
      {"deleted row skipped", then([](FileEdit& e) { SetFlags(e, 1, jet::kRowDeleted); }, {a, c})},
      {"deleted pointer skipped",
       then([](FileEdit& e) { SetFlags(e, 1, jet::kRowDeleted | jet::kRowOverflow); }, {a, c})},
      {"moved row read at its new place", then([](FileEdit& e) { MoveRow(e, 1); }, {a, b, c})},
      {"row written before its second column was added",
       then([](FileEdit& e) { SetRowU16(e, 1, 0, 1); }, {a, {"text:b", "NULL"}, c})},
      {"moved row pointing to itself",
       [&](FileEdit& e) {
         const std::string error = second(e) + " is moved more than 8 times (its pointers loop)";
         PointRowTo(e, 1, e.RowPointer("t", 1));
         return Rows{a, {error}};
       }},
      {"moved row pointing past the file",
       [&](FileEdit& e) {
         const std::uint32_t past = e.PageCount() + 10;
         const std::string error = second(e) + " is moved to page " + std::to_string(past) +
                                   " row 0: page " + std::to_string(past) +
                                   " is past the end of the file (" +
                                   std::to_string(e.PageCount()) + " pages)";
         PointRowTo(e, 1, jet::PageRow(past, 0));
         return Rows{a, {error}};
       }},
      {"moved row pointing to another table's page",
       [&](FileEdit& e) {
         const std::uint32_t catalog = e.RowPointer("MSysObjects", 0) >> 8;
         const std::string error =
             second(e) + " is moved to page " + std::to_string(catalog) + " row 0: page " +
             std::to_string(catalog) + " holds rows of the table defined on page 2, not of the "
             "table defined on page " + std::to_string(e.DefinitionPage("t"));
         PointRowTo(e, 1, jet::PageRow(catalog, 0));
         return Rows{a, {error}};
       }},
      {"row offset past the page",
       [&](FileEdit& e) {
         const std::uint32_t first = e.RowPointer("t", 0);
         const std::string error =
             second(e) + " lies at offset 8191.." +
             std::to_string(jet::GetU16(e.RowEntry(first)) & jet::kRowOffsetMask) +
             ", past the page";
         jet::PutU16(e.RowEntry(e.RowPointer("t", 1)), 0x1FFF);
         return Rows{a, {error}};
       }},
      {"row count beyond the page",
       [&](FileEdit& e) {
         const std::string page = std::to_string(e.RowPointer("t", 0) >> 8);
         jet::PutU16(e.Page(e.RowPointer("t", 0) >> 8) + jet::kJet4Layout.dataRowCount, 0xFFFF);
         return Rows{{"scan error: table \"t\": its usage map lists page " + page +
                      ": data page " + page + " lists 65535 rows, more than a page holds"}};
       }},
      {"column count beyond the row",
       [&](FileEdit& e) {
         const std::string error =
             second(e) + ": its row of 15 bytes cannot hold the null mask of 65535 columns";
         SetRowU16(e, 1, 0, 0xFFFF);
         return Rows{a, {error}};
       }},
      {"variable area offsets out of order",
       then([](FileEdit& e) { SetRowU16(e, 1, -5, 200); },
            {a,
             {"error/damaged:table \"t\": column \"name\": the row's variable area offsets for it "
              "are out of order or out of the row",
              "int:2"},
             c})},
  };
  const std::string base = ThreeRows();
  for (const RowCase& test : cases) {
    FileEdit edit(base);
    const Rows expected = test.edit(edit);
    EXPECT_EQ(TableTextOf(edit.bytes(), "t"), expected) << test.name;
  }
}

void SetHeaderSetting(FileEdit& edit, std::size_t offset, std::uint32_t value) {
  std::uint8_t* settings = edit.Page(0) + jet::kHeaderSettingsOffset;
  const std::span<std::uint8_t> block(settings, jet::kHeaderSettingsSize);
  jet::Rc4Apply(jet::kHeaderSettingsKey, block);
  jet::PutU32(settings + offset - jet::kHeaderSettingsOffset, value);
  jet::Rc4Apply(jet::kHeaderSettingsKey, block);
}

struct FileCase {
  const char* name;
  std::function<void(FileEdit&)> edit;
  std::string openError;  // empty: opens and reads as the untouched file
};

TEST(FileKindTest, AccdbFilesReadAndOtherKindsAreRefusedSayingWhy) {
  const auto ace = [](std::uint8_t version) {
    return [version](FileEdit& e) {
      std::memcpy(e.Page(0) + 4, "Standard ACE DB", 16);
      e.Page(0)[jet::kHeaderVersionOffset] = version;
    };
  };
  const FileCase cases[] = {
      {"Access 2007", ace(2), ""},
      {"Access 2016", ace(5), ""},
      {"Access 2007 with a stray password field",
       [&](FileEdit& e) {
         ace(2)(e);
         SetHeaderSetting(e, jet::kHeaderPasswordOffset, 0x41414141);
       },
       ""},
      {"encrypted without saying how",
       [&](FileEdit& e) {
         ace(2)(e);
         SetHeaderSetting(e, jet::kHeaderDatabaseKeyOffset, 0x1234);
       },
       "the file is encrypted, but its header describes no encryption this reader knows"},
      {"unknown version", [](FileEdit& e) { e.Page(0)[jet::kHeaderVersionOffset] = 9; },
       "the file's engine version 0x9 is not one this reader knows"},
      {"not a database", [](FileEdit& e) { std::memcpy(e.Page(0), "Hello, world", 12); },
       "the file is not an Access database (no database signature on its first page)"},
      {"catalog page overwritten",
       [](FileEdit& e) { std::memset(e.Page(jet::kCatalogDefinitionPage), 0, jet::kPageSize); },
       "the catalog's definition is broken: page 2 is not a table definition page (type 0x00)"},
  };
  const std::string base = ThreeRows();
  const Rows untouched = TableTextOf(base, "t");
  for (const FileCase& test : cases) {
    FileEdit edit(base);
    test.edit(edit);
    EXPECT_EQ(TableTextOf(edit.bytes(), "t"),
              test.openError.empty() ? untouched : Rows{{"open error: " + test.openError}})
        << test.name;
  }
  EXPECT_EQ(TableTextOf(base.substr(0, 100), "t"),
            Rows{{"open error: the file is too short to be a database (100 bytes)"}});
}

TEST(FileKindTest, LinkedTablesAreListedButNotRead) {
  FileEdit edit(ThreeRows());
  jet::PutU16(edit.FixedValue("MSysObjects", edit.RowWithText("MSysObjects", "Name", "t"),
                              edit.ColumnNamed("MSysObjects", "Type")),
              jet::kObjectLinkedTable);
  std::string error;
  auto database = jet::Database::OpenBytes(edit.bytes(), error);
  ASSERT_NE(database, nullptr) << error;
  ASSERT_EQ(database->Tables().back().name, "t");
  EXPECT_TRUE(database->Tables().back().linked);
  jet::TableDefinition definition;
  EXPECT_FALSE(database->ReadDefinition("T", definition, error));
  EXPECT_EQ(error,
            "table \"t\" is a link to a table in another database, whose definition is kept there");
}

// A Jet 3 row: count byte, a 4-byte fixed value, variable values of `sizes`, then the 1-byte
// offsets (end of data first), the jump table `jumps` (nearest the count first), the variable
// count and a one-byte null mask.
std::vector<std::uint8_t> Jet3Row(const std::vector<std::size_t>& sizes,
                                  const std::vector<std::uint8_t>& jumps) {
  std::vector<std::uint8_t> row = {4, 0, 0, 0, 0};
  std::vector<std::size_t> offsets;
  for (std::size_t size : sizes) {
    offsets.push_back(row.size());
    row.insert(row.end(), size, 'v');
  }
  offsets.push_back(row.size());
  for (std::size_t i = offsets.size(); i-- > 0;) row.push_back(offsets[i] & 0xFF);
  for (std::size_t i = jumps.size(); i-- > 0;) row.push_back(jumps[i]);
  row.push_back(static_cast<std::uint8_t>(sizes.size()));
  row.push_back(0x0F);
  return row;
}

TEST(RowLayoutTest, Jet3OffsetsPastAByteComeFromTheJumpTable) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> row;
    std::vector<std::pair<std::size_t, std::size_t>> expected;  // each slot's start and end
  } cases[] = {
      // Slot 2 starts at 405 and the data ends at 605: the jumps name slot 2 and the end.
      {"two jumps", Jet3Row({200, 200, 200}, {2, 3}), {{5, 205}, {205, 405}, {405, 605}}},
      // A row just over 256 bytes whose data ends below 256: its jump is a dummy.
      {"dummy jump", Jet3Row({250}, {1}), {{5, 255}}},
      {"short row", Jet3Row({3, 0}, {}), {{5, 8}, {8, 8}}},
  };
  for (const auto& test : cases) {
    jet::RowLayout layout;
    std::string error;
    ASSERT_TRUE(layout.Parse(jet::kJet3Layout, test.row.data(), test.row.size(), true, error))
        << test.name << ": " << error;
    std::size_t start = 0, end = 0;
    EXPECT_TRUE(layout.Fixed(0, 4, start) && start == 1) << test.name;
    for (std::size_t slot = 0; slot < test.expected.size(); ++slot) {
      bool stored = false;
      EXPECT_TRUE(layout.Variable(static_cast<std::uint16_t>(slot), stored, start, end) &&
                  stored)
          << test.name << " slot " << slot;
      EXPECT_EQ(std::pair(start, end), test.expected[slot]) << test.name << " slot " << slot;
    }
  }
}

}  // namespace
}  // namespace jettest
