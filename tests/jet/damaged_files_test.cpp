// Damaged files as users met them: each fails fast with an error saying what is broken, and
// the damage stays with the table it hit.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "tests/support/file_edit.h"
#include "tests/support/reported_files.h"
#include "read_everything.h"
#include "sample_files.h"
#include "value_text.h"

namespace jettest {
namespace {

using testsupport::FileEdit;

using Clock = std::chrono::steady_clock;
constexpr std::size_t kUsageMap = jet::kJet4Layout.defUsageMap;

TEST(DamagedFileTest, ReportedFilesFailFastSayingWhatIsBroken) {
  for (const testsupport::ReportedFile& file : testsupport::ReportedFiles()) {
    const auto start = Clock::now();
    std::string error;
    auto database = jet::Database::OpenBytes(file.bytes, error);
    std::string got = "open: " + error;
    if (database != nullptr) {
      const auto rows = TableText(*database, database->Tables().back().name);
      got = rows.back().back();
    }
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << file.name;
    EXPECT_EQ(got, file.reads) << file.name;
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
  const std::uint32_t data = FileEdit(base).DataPage("every_type");
  const SpreadCase cases[] = {
      {"definition zeroed", [&](FileEdit& e) { e.ZeroPage(definition); }},
      {"definition garbled", [&](FileEdit& e) { std::memset(e.Page(definition) + 40, 0xA5, 400); }},
      {"data page zeroed", [&](FileEdit& e) { e.ZeroPage(data); }},
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
