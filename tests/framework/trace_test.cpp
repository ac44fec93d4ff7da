#include "framework/trace.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

#ifdef DRAVON_TRACE_STDERR
constexpr bool kTracesOnStandardError = true;
#else
constexpr bool kTracesOnStandardError = false;
#endif

class TraceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_previous = SetTraceSink([this](const TraceRecord& r) { m_records.push_back(r); });
  }
  void TearDown() override { SetTraceSink(std::move(m_previous)); }

  std::vector<TraceRecord> m_records;
  TraceSink m_previous;
};

TEST(TraceFormat, WideTextIsWrittenAsUtf8) {
  EXPECT_EQ(FormatTrace("DBMS: %s\n", {u"Acc\u00E8s \u6771"}), "DBMS: Acc\xC3\xA8s \xE6\x9D\xB1\n");
  CString text(u"Version: 04.00");
  EXPECT_EQ(FormatTrace("[%s]", {text}), "[Version: 04.00]");
  EXPECT_EQ(FormatTrace("%s (%s:%d)\n", {u"Exception thrown in destructor", "db.cpp", 42}),
            "Exception thrown in destructor (db.cpp:42)\n");
}

TEST(TraceFormat, IntegersAndPointers) {
  EXPECT_EQ(FormatTrace("field #%d, %u, %ld, %x", {-3, 4000000000u, -7L, 255}),
            "field #-3, 4000000000, -7, ff");
  EXPECT_EQ(FormatTrace("%05d|%-4d|", {42, 7}), "00042|7   |");
  EXPECT_EQ(FormatTrace("$%p", {static_cast<const void*>(nullptr)}).substr(0, 2), "$(");
  EXPECT_EQ(FormatTrace("%c", {static_cast<int>(u'\u00E9')}), "\xC3\xA9");
}

TEST(TraceFormat, PercentSignsAndMissingArgumentsStayAsWritten) {
  EXPECT_EQ(FormatTrace("100%% done", {}), "100% done");
  EXPECT_EQ(FormatTrace("Error on field %d.\n", {}), "Error on field %d.\n");
  EXPECT_EQ(FormatTrace("%d then %s", {5}), "5 then %s");
  EXPECT_EQ(FormatTrace("%s", {12}), "%s");  // wrong kind: left alone, not misread
  EXPECT_EQ(FormatTrace("trailing %", {}), "trailing %");
  EXPECT_EQ(FormatTrace("%-6s|%3s|", {u"ab", u"\u00E9"}), "ab    |  \xC3\xA9|");
}

TEST_F(TraceTest, SinkReceivesCategoryLevelAndText) {
  TraceDatabase("Warning: ODBC Success With Info, ");
  Trace(TraceCategory::AppMsg, 0, "%s\n", u"report");
  Trace(TraceCategory::Database, 3, "level %d\n", 3);
  ASSERT_EQ(m_records.size(), 3u);
  EXPECT_EQ(m_records[0].category, TraceCategory::Database);
  EXPECT_EQ(m_records[0].level, 0);
  EXPECT_EQ(m_records[0].text, "Warning: ODBC Success With Info, ");
  EXPECT_EQ(m_records[1].category, TraceCategory::AppMsg);
  EXPECT_EQ(m_records[1].text, "report\n");
  EXPECT_EQ(m_records[2].level, 3);
  EXPECT_STREQ(TraceCategoryName(TraceCategory::AppMsg), "AppMsg");
}

TEST_F(TraceTest, RemovingTheSinkStopsDelivery) {
  EXPECT_TRUE(TraceIsWritten());
  TraceSink mine = SetTraceSink(nullptr);
  // Without a sink a trace goes only where the build copies traces, if anywhere.
  EXPECT_EQ(TraceIsWritten(), kTracesOnStandardError);
  TraceDatabase("lost\n");
  SetTraceSink(std::move(mine));
  TraceDatabase("kept\n");
  ASSERT_EQ(m_records.size(), 1u);
  EXPECT_EQ(m_records[0].text, "kept\n");
}

}  // namespace
