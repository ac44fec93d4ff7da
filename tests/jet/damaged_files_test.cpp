// Damaged files as users met them: each fails fast with an error saying what is broken, and
// the damage stays with the table it hit.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include <gtest/gtest.h>

#include "file_edit.h"
#include "read_everything.h"
#include "sample_files.h"
#include "value_text.h"

namespace jettest {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kUsageMap = jet::kJet4Layout.defUsageMap;

void SwapPages(FileEdit& edit, std::uint32_t a, std::uint32_t b) {
  std::swap_ranges(edit.Page(a), edit.Page(a) + edit.PageSize(), edit.Page(b));
}

// A chained memo of 20,000 characters: the file takes 68 KB, like the one users reported.
std::string ChainedMemoFile() {
  return DatabaseBytes({{"m",
                         {{"id", mkmdb::ColumnType::Long}, {"notes", mkmdb::ColumnType::Memo}},
                         {{"1", MemoText(20000, false)}}}});
}

// Declares `length` bytes for the memo and makes its first chain row point to itself; returns
// that row.
std::uint32_t LoopMemoChain(FileEdit& edit, std::uint32_t length) {
  std::size_t size = 0;
  std::uint8_t* field = edit.VariableValue("m", 0, 1, size);
  const std::uint32_t link = jet::GetU32(field + jet::kLongValuePointerOffset);
  jet::PutU32(field, length);  // the kind bits 0: a chain
  std::size_t linkSize = 0;
  jet::PutU32(edit.RowBytes(link, linkSize), link);
  return link;
}

// Damages a file and returns what reading it must say: the open error, or the last row of
// its last table.
struct DamagedCase {
  const char* name;
  std::function<std::string()> file;
  std::function<std::string(FileEdit&)> damage;
};

std::uint32_t PageOfRow(const FileEdit& edit, std::string_view table) {
  return edit.RowPointer(table, 0) >> 8;
}

TEST(DamagedFileTest, ReportedFilesFailFastSayingWhatIsBroken) {
  const auto oneRow = [] {
    return DatabaseBytes({{"avion", {{"marque", mkmdb::ColumnType::Text, 50}}, {{"Airbus"}}}});
  };
  const DamagedCase cases[] = {
      {"catalog usage map names a missing row (offset 8247)", oneRow,
       [](FileEdit& e) {
         const std::uint32_t map = jet::GetU32(e.Page(jet::kCatalogDefinitionPage) + kUsageMap);
         const std::uint32_t rows = jet::GetU16(e.Page(map >> 8) + jet::kJet4Layout.dataRowCount);
         e.PutU32(jet::kCatalogDefinitionPage * jet::kPageSize + kUsageMap,  // 8247
                  jet::PageRow(map >> 8, 200));
         return "open: the catalog is broken: table \"MSysObjects\": its usage map at page " +
                std::to_string(map >> 8) + " row 200: data page " + std::to_string(map >> 8) +
                " row 200 does not exist (the page has " + std::to_string(rows) + " rows)";
       }},
      {"catalog row whose Flags is Null, which reads as no flags", oneRow,
       [](FileEdit& e) {
         const std::uint32_t pointer = e.RowPointer("MSysObjects", e.RowWithText("MSysObjects", "Name", "avion"));
         std::size_t size = 0;
         std::uint8_t* row = e.RowBytes(pointer, size);
         const std::size_t flags = e.ColumnNamed("MSysObjects", "Flags");
         row[size - (jet::GetU16(row) + 7u) / 8 + flags / 8] &= static_cast<std::uint8_t>(~(1u << (flags % 8)));
         return std::string("text:Airbus");
       }},
      {"table definition and data pages swapped", oneRow,
       [](FileEdit& e) {
         const std::uint32_t definition = e.DefinitionPage("avion");
         SwapPages(e, definition, PageOfRow(e, "avion"));
         return "definition error: table \"avion\": page " + std::to_string(definition) +
                " is not a table definition page (type 0x01)";
       }},
      {"catalog rows and table rows swapped", oneRow,
       [](FileEdit& e) {
         const std::uint32_t catalog = PageOfRow(e, "MSysObjects");
         const std::uint32_t definition = e.DefinitionPage("avion");
         SwapPages(e, catalog, PageOfRow(e, "avion"));
         return "open: the catalog is broken: table \"MSysObjects\": its usage map lists data "
                "page " + std::to_string(catalog) + ", which belongs to the table defined on "
                "page " + std::to_string(definition);
       }},
      {"moved row too short to hold where it went", oneRow,
       [](FileEdit& e) {
         const std::uint32_t pointer = e.RowPointer("avion", 0);
         jet::PutU16(e.RowEntry(pointer), static_cast<std::uint16_t>((e.PageSize() - 3) | jet::kRowOverflow));
         return "scan error: table \"avion\": data page " + std::to_string(pointer >> 8) +
                " row 0 is moved, but too short to say where (3 bytes)";
       }},
      {"index count running past the definition's end",
       [] {
         return DatabaseBytes({{"avion", {{"id", mkmdb::ColumnType::Long}}, {{"1"}}, {}, {{"PrimaryKey", {{"id"}}, true, true}}}});
       },
       [](FileEdit& e) {
         // Past the one logical index (28 bytes, before its name) only zeros, which read as
         // indexes of the first index data: the count alone runs past the page.
         std::uint8_t* page = e.Page(e.DefinitionPage("avion"));
         const std::string name("\x14\0P\0r\0i\0m\0a\0r\0y\0K\0e\0y\0", 22);
         const std::size_t at = std::string_view(reinterpret_cast<char*>(page), e.PageSize()).find(name) - 28;
         std::memset(page + at + 28, 0, e.PageSize() - at - 28);
         jet::PutU32(page + jet::kJet4Layout.defLogicalIndexCount, 200);
         return "definition error: table \"avion\": the definition ends inside its index definitions";
       }},
      {"memo of 0x3FFFFFFF bytes whose chain points to itself", ChainedMemoFile,
       [](FileEdit& e) {
         LoopMemoChain(e, 0x3FFFFFFF);
         return "error/damaged:table \"m\": column \"notes\": memo declares 1073741823 bytes, "
                "more than the whole file (" + std::to_string(e.bytes().size()) + " bytes)";
       }},
      {"memo chain pointing to itself", ChainedMemoFile,
       [](FileEdit& e) {
         const std::uint32_t link = LoopMemoChain(e, 60000);
         return "error/damaged:table \"m\": column \"notes\": memo chain loops at page " +
                std::to_string(link >> 8) + " row " + std::to_string(link & 0xFF);
       }},
  };
  for (const DamagedCase& test : cases) {
    FileEdit edit(test.file());
    const std::string expected = test.damage(edit);
    const auto start = Clock::now();
    std::string error;
    auto database = jet::Database::OpenBytes(edit.bytes(), error);
    std::string got = "open: " + error;
    if (database != nullptr) {
      const auto rows = TableText(*database, database->Tables().back().name);
      got = rows.back().back();
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << test.name;
    EXPECT_EQ(got, expected) << test.name;
  }
}

struct SpreadCase {
  const char* name;
  std::function<void(FileEdit&)> damage;
};

// Damage to one table leaves the other tables of the file as they were.
TEST(DamagedFileTest, DamageStaysWithTheTableItHits) {
  const std::string base = DatabaseBytes({EveryTypeTable(), MemoTable()});
  std::string error;
  const auto reference = jet::Database::OpenBytes(base, error);
  ASSERT_NE(reference, nullptr) << error;
  const std::uint32_t definition =
      std::find_if(reference->Tables().begin(), reference->Tables().end(),
                   [](const jet::CatalogTable& t) { return t.name == "every_type"; })
          ->definitionPage;
  const std::uint32_t data = FileEdit(base).RowPointer("every_type", 0) >> 8;
  const SpreadCase cases[] = {
      {"definition zeroed", [&](FileEdit& e) { std::memset(e.Page(definition), 0, jet::kPageSize); }},
      {"definition garbled", [&](FileEdit& e) { std::memset(e.Page(definition) + 40, 0xA5, 400); }},
      {"data page zeroed", [&](FileEdit& e) { std::memset(e.Page(data), 0, jet::kPageSize); }},
      {"row offsets garbled", [&](FileEdit& e) { std::memset(e.Page(data) + jet::kDataPageHeader, 0x17, 10); }},
      {"usage map pointer lost",
       [&](FileEdit& e) { jet::PutU32(e.Page(definition) + kUsageMap, jet::PageRow(data, 9)); }},
  };
  const auto untouched = TableText(*reference, "memos");
  for (const SpreadCase& test : cases) {
    FileEdit edit(base);
    test.damage(edit);
    auto database = jet::Database::OpenBytes(edit.bytes(), error);
    ASSERT_NE(database, nullptr) << test.name << ": " << error;
    const auto hit = TableText(*database, "every_type");
    ASSERT_FALSE(hit.empty()) << test.name << ": no rows and no error";
    EXPECT_TRUE(hit.back().back().find("error: table \"every_type\": ") != std::string::npos)
        << test.name << ": " << hit.back().back();
    EXPECT_EQ(TableText(*database, "memos"), untouched) << test.name;
  }
}

// Every input the fuzzer ever found failing, kept as a file: each must now read or fail with
// messages, quickly.
#ifdef JET_HAS_FUZZ_FINDINGS
TEST(DamagedFileTest, FuzzFindingsReadOrFailSayingWhy) {
  std::vector<std::filesystem::path> files;
  std::error_code missing;
  for (const auto& entry : std::filesystem::directory_iterator(JET_REGRESSIONS_DIR, missing)) {
    if (entry.path().extension() == ".mdb") files.push_back(entry.path());
  }
  ASSERT_FALSE(files.empty()) << "no fuzz findings in " << JET_REGRESSIONS_DIR;
  for (const auto& file : files) {
    const auto start = Clock::now();
    const ReadOutcome outcome = ReadEverythingAt(file.string());
    EXPECT_FALSE(outcome.silentFailure) << file;
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << file;
  }
}
#endif

}  // namespace
}  // namespace jettest
