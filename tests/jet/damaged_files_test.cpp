// Damaged files. Those users met, and every input the fuzzer found failing: each fails fast
// with an error saying what is broken, and the damage stays with the table it hit. Thousands
// of damaged variants of good files, plain, encoded and encrypted (bit flips, in the
// description of an encryption too, truncations, zeroed and swapped pages, huge counts,
// pointers that loop): each must read or fail with errors that say what is broken, quickly,
// and leave its file as it was. Under the sanitizers any memory error ends the run with a
// report.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "jet/encryption_info.h"
#include "jet/format.h"
#include "read_everything.h"
#include "sample_files.h"
#include "tests/support/file_edit.h"
#include "tests/support/fixtures.h"
#include "tests/support/reported_files.h"
#include "tests/support/temp_folder.h"

namespace jettest {
namespace {

using Clock = std::chrono::steady_clock;
using testsupport::FileEdit;

#if defined(__SANITIZE_ADDRESS__)
constexpr auto kLimit = std::chrono::seconds(10);  // sanitizers slow every read down
#else
constexpr auto kLimit = std::chrono::seconds(1);
#endif

// Aborts the whole run, naming the case, when one read takes far longer than allowed (a
// hang would otherwise hold the suite until its timeout).
class Watchdog {
 public:
  Watchdog() : thread_([this] { Watch(); }) {}
  ~Watchdog() {
    stop_ = true;
    thread_.join();
  }
  void Start(const std::string& what) {
    std::snprintf(what_, sizeof what_, "%s", what.c_str());
    started_ = Clock::now().time_since_epoch().count();
  }
  void Stop() { started_ = 0; }

 private:
  void Watch() {
    while (!stop_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const auto started = started_.load();
      if (started != 0 && Clock::now().time_since_epoch().count() - started >
                              std::chrono::nanoseconds(kLimit * 5).count()) {
        std::fprintf(stderr, "mutation test: %s still reading after %lld s\n", what_,
                     static_cast<long long>(5 * kLimit.count()));
        std::abort();
      }
    }
  }
  std::atomic<bool> stop_{false};
  std::atomic<Clock::rep> started_{0};
  char what_[200] = {};
  std::thread thread_;
};

struct Base {
  std::string name;
  std::string bytes;
  int mutations;
  jet::OpenOptions options = {};
};

class Mutator {
 public:
  Mutator(const std::string& bytes, unsigned seed)
      : file_(bytes), random_(seed), pageSize_(file_.PageSize()), layout_(&file_.Layout()) {
    const auto* page0 = reinterpret_cast<const std::uint8_t*>(bytes.data());
    if (pageSize_ == jet::kPageSize && jet::HasEncryptionInfo(page0, bytes.size())) {
      description_ = jet::GetU16(page0 + jet::kEncryptionInfoOffset);
    }
  }

  // Applies mutation kind `kind` and returns what it did.
  std::string Apply(int kind) {
    switch (kind) {
      case 0: return FlipBits();
      case 1: return Truncate();
      case 2: return ZeroPage();
      case 3: return SwapPages();
      case 4: return HugeCount();
      case 5: return LoopPointer();
      default: return DamageIndexPage();
    }
  }
  const std::string& bytes() const { return file_.bytes(); }

 private:
  std::size_t Pages() const { return file_.PageCount(); }
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : random_() % n; }
  std::uint32_t RandomPage() { return static_cast<std::uint32_t>(1 + Below(Pages() - 1)); }
  // A page of a kind, or any page when none has it.
  std::uint32_t PageOfType(std::uint8_t type) {
    for (int tries = 0; tries < 64; ++tries) {
      const std::uint32_t page = RandomPage();
      if (*file_.Page(page) == type) return page;
    }
    return RandomPage();
  }

  std::string FlipBits() {
    const std::size_t count = 1 + Below(8);
    std::string what = "flip bits at";
    for (std::size_t i = 0; i < count; ++i) {
      std::size_t offset = Below(10) == 0 ? Below(pageSize_) : Below(bytes().size());
      // An encryption's description, which every page depends on, gets a third of the flips.
      if (description_ > 0 && Below(3) == 0) {
        offset = jet::kEncryptionInfoOffset + Below(description_ + 2);
      }
      file_.Byte(offset) ^= static_cast<std::uint8_t>(1 << Below(8));
      what += " " + std::to_string(offset);
    }
    return what;
  }
  std::string Truncate() {
    const std::size_t size =
        Below(2) == 0 ? Below(Pages()) * pageSize_ : Below(bytes().size());
    file_.Cut(size);
    return "truncate to " + std::to_string(size);
  }
  std::string ZeroPage() {
    const std::uint32_t page = RandomPage();
    file_.ZeroPage(page);
    return "zero page " + std::to_string(page);
  }
  std::string SwapPages() {
    const std::uint32_t a = RandomPage(), b = RandomPage();
    file_.SwapPages(a, b);
    return "swap pages " + std::to_string(a) + " " + std::to_string(b);
  }
  // A count or length in a definition, a data page or a row, made huge.
  std::string HugeCount() {
    const bool definition = Below(2) == 0;
    const std::uint32_t page = PageOfType(definition ? jet::kPageTableDefinition : jet::kPageData);
    std::uint8_t* p = file_.Page(page);
    const std::uint32_t value = Below(2) == 0 ? 0xFFFFFFFF : static_cast<std::uint32_t>(random_());
    std::size_t offset = 0;
    if (definition) {
      const std::size_t fields[] = {layout_->defRowCount, layout_->defVariableColumns,
                                    layout_->defColumnCount, layout_->defLogicalIndexCount,
                                    layout_->defRealIndexCount, layout_->defHeaderSize +
                                    Below(8) * layout_->columnEntrySize + layout_->columnLength,
                                    layout_->defHeaderSize + Below(8) * layout_->columnEntrySize +
                                    layout_->columnFixedOffset};
      offset = fields[Below(std::size(fields))];
    } else {
      // Enciphered pages hold any count: only offsets inside the page are followed.
      const std::size_t rows = std::min<std::size_t>(
          jet::GetU16(p + layout_->dataRowCount), (pageSize_ - layout_->dataRowCount - 2) / 2);
      if (rows == 0 || Below(4) == 0) {
        offset = layout_->dataRowCount;
      } else {
        // Inside a row: its first bytes (column count, fixed values, a memo's length) or its
        // last (null mask, variable count and offsets).
        const std::size_t row = Below(rows);
        const std::size_t start =
            jet::GetU16(p + layout_->dataRowCount + 2 + 2 * row) & jet::kRowOffsetMask;
        const std::size_t end = row == 0 ? pageSize_
                                         : jet::GetU16(p + layout_->dataRowCount + 2 * row) &
                                               jet::kRowOffsetMask;
        offset = Below(2) == 0 ? start + Below(16) : (end > 8 ? end - 2 - Below(8) : start);
      }
    }
    offset = std::min(offset, pageSize_ - 4);
    jet::PutU32(p + offset, value);
    return "page " + std::to_string(page) + " offset " + std::to_string(offset) + " = " +
           std::to_string(value);
  }
  // A pointer made to name its own page or row: definition continuations, memo chain links,
  // moved rows, usage maps.
  std::string LoopPointer() {
    const std::uint32_t kind = static_cast<std::uint32_t>(Below(3));
    if (kind == 0) {
      const std::uint32_t page = PageOfType(jet::kPageTableDefinition);
      const std::uint32_t target = Below(2) == 0 ? page : jet::PageRow(page, 0);
      const std::size_t field = Below(2) == 0 ? layout_->defNextPage : layout_->defUsageMap;
      jet::PutU32(file_.Page(page) + field, target);
      return "definition page " + std::to_string(page) + " field " + std::to_string(field) +
             " points to itself";
    }
    const std::uint32_t page = PageOfType(jet::kPageData);
    std::uint8_t* p = file_.Page(page);
    const std::size_t rows = jet::GetU16(p + layout_->dataRowCount);
    if (rows == 0) return "no rows on page " + std::to_string(page);
    const std::size_t row = Below(std::min<std::size_t>(rows, 256));
    std::uint8_t* entry = p + layout_->dataRowCount + 2 + 2 * row;
    const std::size_t start = jet::GetU16(entry) & jet::kRowOffsetMask;
    if (start + 4 > pageSize_) return "row out of the page";
    // A memo chain row or a moved row naming itself.
    jet::PutU32(p + start, jet::PageRow(page, static_cast<std::uint32_t>(row)));
    if (kind == 2) jet::PutU16(entry, static_cast<std::uint16_t>(start | jet::kRowOverflow));
    return "row " + std::to_string(row) + " of page " + std::to_string(page) +
           (kind == 2 ? " moved to itself" : " links to itself");
  }

  // An index page's header, bitmask or entries changed: links, the prefix length, a key byte,
  // a row pointer, a mark moved.
  std::string DamageIndexPage() {
    const std::uint8_t type = Below(3) == 0 ? jet::kPageIndexNode : jet::kPageIndexLeaf;
    const std::uint32_t page = PageOfType(type);
    std::uint8_t* p = file_.Page(page);
    const std::size_t entries = layout_->indexEntries;
    std::size_t offset = 0;
    switch (Below(4)) {
      case 0: offset = jet::kIndexPagePrevious + Below(jet::kIndexPagePrefixLength + 2 -
                                                       jet::kIndexPagePrevious); break;
      case 1: offset = layout_->indexEntryMask + Below(entries - layout_->indexEntryMask); break;
      default: offset = entries + Below(64); break;
    }
    p[offset] = static_cast<std::uint8_t>(p[offset] ^ (1u << Below(8)));
    return "index page " + std::to_string(page) + " byte " + std::to_string(offset) + " changed";
  }

  testsupport::FileEdit file_;
  std::mt19937 random_;
  std::size_t pageSize_;
  const jet::FileLayout* layout_;
  std::size_t description_ = 0;  // bytes of an encryption description in page 0
};

std::vector<Base> Bases() {
  std::vector<Base> bases;
  bases.push_back({"every type and memo kind", DatabaseBytes({EveryTypeTable(), MemoTable()}),
                   1800});
  bases.push_back({"indexes of two levels", DatabaseBytes({IndexedTable()}), 400});
  mkmdb::TableSpec wide{"wide", {}, {{}}};
  for (int i = 0; i < 120; ++i) {
    wide.columns.push_back({"column with a long name " + std::to_string(i),
                            i % 3 == 0 ? mkmdb::ColumnType::Text : mkmdb::ColumnType::Long, 10});
    wide.rows[0].push_back(std::to_string(i));
  }
  bases.push_back({"definition over several pages", DatabaseBytes({wide}), 150});
  bases.push_back({"properties, relationships and links",
                   DatabaseBytes(RelatedTables(), RelatedCatalog()), 600});
  mkmdb::TableSpec many{"many", {{"text", mkmdb::ColumnType::Text, 255}}, {}};
  for (int i = 0; i < 9000; ++i) many.rows.push_back({MemoText(250, false)});
  bases.push_back({"indirect usage map", DatabaseBytes({many}), 60});
  // Each protected form, read with its password.
  constexpr char kPassword[] = "Wörterbuch";
  using mkmdb::Encryption;
  const std::pair<const char*, mkmdb::Protection> forms[] = {
      {"encoded with a password", {true, kPassword}},
      {"RC4 CryptoAPI", {false, kPassword, Encryption::Rc4CryptoApi, false, 1000}},
      {"AES standard", {false, kPassword, Encryption::Standard, false, 1000}},
      {"AES agile", {false, kPassword, Encryption::AgileSha512, false, 1000}}};
  for (const auto& [name, protection] : forms) {
    bases.push_back({name, DatabaseBytes({EveryTypeTable(), MemoTable()}, {}, protection), 150,
                     {kPassword}});
  }
  for (const auto& [fixture, count] : {std::pair{"access-made-jet4.mdb", 300},
                                       std::pair{"jet3-sample.mdb", 100}}) {
    if (testsupport::HaveFixture(fixture)) {
      bases.push_back({fixture, testsupport::ReadFile(testsupport::FixturePath(fixture)), count});
    }
  }
  return bases;
}

TEST(MutationTest, DamagedVariantsReadOrFailSayingWhatIsBroken) {
  // A folder of this process's own: test runs of other build folders may run at the same time.
  const testsupport::TempFolder folder("jet-mutation");
  const std::string path = folder.Path("mutated.mdb");
  Watchdog watchdog;
  int cases = 0, opened = 0, refused = 0, tablesHit = 0, clean = 0;
  std::size_t indexRows = 0;
  for (const Base& base : Bases()) {
    for (int i = 0; i < base.mutations; ++i) {
      Mutator mutator(base.bytes, static_cast<unsigned>(i * 7919 + base.bytes.size()));
      const std::string what = base.name + ": " + mutator.Apply(i % 7);
      testsupport::WriteFile(path, mutator.bytes());
      watchdog.Start(what);
      const auto start = Clock::now();
      const ReadOutcome outcome = ReadEverythingAt(path, base.options);
      const auto elapsed = Clock::now() - start;
      watchdog.Stop();
      ++cases;
      EXPECT_LT(elapsed, kLimit) << what;
      EXPECT_FALSE(outcome.silentFailure) << what;
      EXPECT_EQ(outcome.wrongRows, std::vector<std::string>{}) << what;
      indexRows += outcome.indexRows;
      EXPECT_EQ(testsupport::ReadFile(path), mutator.bytes()) << what << ": the file changed";
      if (!outcome.opened) {
        ++refused;
        continue;
      }
      ++opened;
      if (outcome.errors.empty()) ++clean;
      for (const std::string& error : outcome.errors) {
        EXPECT_EQ(error.rfind("table \"", 0), 0u) << what << ": " << error;
      }
      if (!outcome.errors.empty()) ++tablesHit;
    }
  }
  std::printf("mutation test: %d files: %d refused at open, %d opened (%d read whole, %d with "
              "errors in tables or values), %zu rows met through indexes\n", cases, refused,
              opened, clean, tablesHit, indexRows);
  EXPECT_GE(cases, 2000);
  // The mutations reach every outcome: refusal, errors inside tables, and harmless changes.
  EXPECT_GT(refused, 0);
  EXPECT_GT(tablesHit, 0);
  EXPECT_GT(clean, 0);
}

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
  const std::uint32_t definition = FileEdit(base).DefinitionPage("every_type");
  const std::uint32_t data = FileEdit(base).DataPage("every_type");
  const SpreadCase cases[] = {
      {"definition zeroed", [&](FileEdit& e) { e.ZeroPage(definition); }},
      {"definition garbled", [&](FileEdit& e) { std::memset(e.Page(definition) + 40, 0xA5, 400); }},
      {"data page zeroed", [&](FileEdit& e) { e.ZeroPage(data); }},
      {"row offsets garbled", [&](FileEdit& e) { std::memset(e.Page(data) + jet::kDataPageHeader, 0x17, 10); }},
      {"usage map pointer lost",
       [&](FileEdit& e) { jet::PutU32(e.Page(definition) + kUsageMap, jet::PageRow(data, 9)); }},
  };
  const auto untouched = TableTextOf(base, "memos");
  ASSERT_EQ(untouched.size(), MemoTable().rows.size());
  for (const SpreadCase& test : cases) {
    FileEdit edit(base);
    test.damage(edit);
    std::string error;
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
