// The program's listing, unchanged, over a connection to each engine: what it writes is what
// the engine's own client reads of the same statement.
#include <algorithm>

#include "app/brand_listing.h"
#include "text/utf.h"
#include "tests/program/listing_capture.h"
#include "tests/engines/engine_test.h"
#include "tests/framework/scoped_locale.h"

namespace enginetest {
namespace {

// Exactly `length` UTF-16 characters of `pattern`, repeated, as UTF-8.
std::string TextOfLength(std::u16string_view pattern, std::size_t length) {
  std::u16string text;
  while (text.size() < length) text += pattern;
  text.resize(length);
  return textconv::Utf16ToUtf8(text);
}

// A UTF-8 text as the C locale writes it: '?' for each character beyond ASCII. Text from an
// ANSI driver arrives as the connection's UTF-8 bytes, which the C locale cannot decode: '?'
// for each byte beyond ASCII.
std::string AsAscii(const std::string& utf8, bool bytes) {
  std::string ascii;
  for (const unsigned char c : utf8) {
    if (c < 0x80 || bytes || c >= 0xC0) ascii += c < 0x80 ? static_cast<char>(c) : '?';
  }
  return ascii;
}

// Where two lists of texts part, briefly: long values would flood the report.
std::string FirstDifference(const std::vector<std::string>& got,
                            const std::vector<std::string>& want) {
  for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
    if (got[i] == want[i]) continue;
    const auto at = static_cast<std::size_t>(
        std::mismatch(got[i].begin(), got[i].end(), want[i].begin(), want[i].end()).first -
        got[i].begin());
    return "text " + std::to_string(i) + " differs at byte " + std::to_string(at) + " (got " +
           std::to_string(got[i].size()) + " bytes, want " + std::to_string(want[i].size()) +
           "): got \"" + got[i].substr(at, 40) + "\", want \"" + want[i].substr(at, 40) + "\"";
  }
  if (got.size() != want.size()) {
    return "got " + std::to_string(got.size()) + " texts, want " + std::to_string(want.size());
  }
  return "";
}

enum class Column { Short, Long };

struct ListingCase {
  const char* name;
  Rows rows;
  const char* locale = "C.UTF-8";
  Column column = Column::Short;
};

const std::u16string_view kMixed = u"Aérospatiale Антонов 航空 ";

const ListingCase kCases[] = {
    {"no_rows", {}}, {"one_row", {"Airbus"}}, {"two_rows", {"Airbus", "Boeing"}},
    {"three_rows", {"Airbus", "Boeing", "Cessna"}},
    {"five_rows", {"Airbus", "Boeing", "Cessna", "Dassault", "Embraer"}},
    {"null_value", {"Airbus", std::nullopt, "Cessna"}},
    {"non_ascii_utf8", {"Aérospatiale", "Антонов", "航空工業"}},
    {"non_ascii_c_locale", {"Aérospatiale", "Антонов", "航空工業"}, "C"},
    {"lengths_31_32_255",
     {TextOfLength(kMixed, 31), TextOfLength(kMixed, 32), TextOfLength(kMixed, 255)}},
    {"long_text_5000", {TextOfLength(kMixed, 5000), "Boeing", "Cessna"}, "C.UTF-8", Column::Long},
};

class ListingTest : public EngineTest {};

TEST_P(ListingTest, WritesWhatTheEnginesClientReads) {
  PresentBoxesOnStandardError();
  for (const ListingCase& c : kCases) {
    SCOPED_TRACE(c.name);
    MakeTable(c.column == Column::Long ? Engine().LongTextType() : Engine().ShortTextType(),
              c.rows);
    const std::vector<std::string> clientRows = Engine().ReadRows(kStatement);
    ASSERT_EQ(clientRows.size(), c.rows.size());

    CDatabase database;
    Connect(database);
    ListingRun run;
    {
      ScopedThreadLocale locale(c.locale);
      run = CaptureRun([&] { return ListBrands(database) ? 0 : 1; });
    }
    EXPECT_FALSE(CursorLibraryLoaded());
    ASSERT_EQ(run.status, 0) << run.output;

    // Each of the first three rows: its box, then its line. Fewer rows: the read after the
    // last one fails, and that database error is shown in a box.
    const std::size_t read = std::min<std::size_t>(3, clientRows.size());
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < read; ++i) {
      expected.push_back(std::string(c.locale) == "C" ? AsAscii(clientRows[i], Driver().narrowText)
                                                      : clientRows[i]);
    }
    std::vector<std::string> lines;
    std::size_t boxes = 0;
    for (const Shown& shown : run.shown) {
      if (shown.kind == Shown::Line) lines.push_back(shown.text);
      if (shown.kind == Shown::Box) ++boxes;
      EXPECT_NE(shown.kind, Shown::Other) << shown.text.substr(0, 200);
    }
    EXPECT_EQ(FirstDifference(lines, expected), "");
    const bool failedRead = clientRows.size() < 3;
    EXPECT_EQ(boxes, read + (failedRead ? 1 : 0)) << run.output.substr(0, 600);
    if (failedRead && !run.shown.empty()) {
      EXPECT_EQ(run.shown.back().kind, Shown::Box);
      EXPECT_FALSE(run.shown.back().text.empty());
    }
  }
}

INSTANTIATE_FOR_EVERY_ENGINE(ListingTest);

}  // namespace
}  // namespace enginetest
