// The brand-listing program itself against the scripted driver manager: what it shows and
// writes, in order, for a healthy table, a short table, special values, text beyond ASCII in
// a UTF-8 and in the C locale, and a missing table.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/listing_binary.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

std::string ScriptOf(const std::vector<std::string>& rows, const std::string& column = "50") {
  std::string script = "column marque SQL_WVARCHAR " + column + "\n";
  for (const std::string& row : rows) script += "row " + row + "\n";
  return script;
}

std::vector<Shown> Presented(const std::vector<std::string>& values) {
  std::vector<Shown> shown;
  for (const std::string& value : values) {
    shown.push_back(BoxShowing(value, ListingBinaryPath()));
    shown.push_back(LineShowing(value));
  }
  return shown;
}

Shown ErrorBox(const std::string& text) { return BoxShowing(text, ListingBinaryPath()); }

int Count(const std::vector<std::string>& calls, const std::string& prefix) {
  int n = 0;
  for (const std::string& call : calls) n += call.rfind(prefix, 0) == 0 ? 1 : 0;
  return n;
}

TEST(ListingProgram, ShowsThenWritesTheFirstThreeBrandsAndReleasesEverything) {
  const BinaryRun run =
      RunListingBinary(ScriptOf({"\"Airbus\"", "\"Boeing\"", "\"Cessna\"", "\"Dassault\""}));
  ASSERT_TRUE(run.process.exited);
  EXPECT_EQ(run.process.exitCode, 0);
  EXPECT_THAT(run.shown, ElementsAreArray(Presented({"Airbus", "Boeing", "Cessna"})));
  const std::vector<std::string> calls = LoggedCalls(run.process);
  EXPECT_EQ(Count(calls, "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_SUCCESS"), 3);
  EXPECT_EQ(Count(calls, "SQLSetConnectOptionW(dbc#1, SQL_ODBC_CURSORS, 0)"), 1);
  ASSERT_GE(calls.size(), 4u);
  EXPECT_THAT(std::vector<std::string>(calls.end() - 4, calls.end()),
              ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                          "SQLDisconnect(dbc#1) -> SQL_SUCCESS",
                          "SQLFreeConnect(dbc#1) -> SQL_SUCCESS",
                          "SQLFreeEnv(env#1) -> SQL_SUCCESS"));
  EXPECT_TRUE(LoggedBalanced(run.process));
}

TEST(ListingProgram, ATableOfTwoRowsEndsWithTheDriversErrorInABox) {
  const BinaryRun run = RunListingBinary(ScriptOf({"\"Airbus\"", "\"Boeing\""}));
  ASSERT_TRUE(run.process.exited);
  EXPECT_EQ(run.process.exitCode, 0);
  std::vector<Shown> expected = Presented({"Airbus", "Boeing"});
  expected.push_back(ErrorBox("Invalid cursor state\n"));
  EXPECT_THAT(run.shown, ElementsAreArray(expected));
  EXPECT_TRUE(LoggedBalanced(run.process));
}

TEST(ListingProgram, AnEmptyTableWritesNothing) {
  const BinaryRun run = RunListingBinary(ScriptOf({}));
  ASSERT_TRUE(run.process.exited);
  EXPECT_EQ(run.process.exitCode, 0);
  EXPECT_THAT(run.shown, ElementsAre(ErrorBox("Invalid cursor state\n")));
}

TEST(ListingProgram, NullAndLongValues) {
  const std::string longValue(300, 'w');
  const BinaryRun run = RunListingBinary(
      ScriptOf({"NULL", "\"" + std::string(32, 'v') + "\"", "\"" + longValue + "\""}, "400"));
  ASSERT_TRUE(run.process.exited);
  EXPECT_EQ(run.process.exitCode, 0);
  EXPECT_THAT(run.shown, ElementsAreArray(Presented({"", std::string(32, 'v'), longValue})));
  // The line of the NULL value is "-- " alone.
  EXPECT_NE(run.process.out.find("\n-- \n"), std::string::npos);
}

const std::string kWideScript =
    ScriptOf({"\"A\\u00e9rospatiale\"", "\"\\u0160koda \\u2708\"", "\"Tupolev\""});

TEST(ListingProgram, TextBeyondAsciiIsExactInAUtf8Locale) {
  const BinaryRun run = RunListingBinary(kWideScript, {}, {{"LC_ALL", "C.UTF-8"}});
  ASSERT_TRUE(run.process.exited);
  EXPECT_EQ(run.process.exitCode, 0);
  EXPECT_THAT(run.shown, ElementsAreArray(Presented(
                             {"A\xC3\xA9rospatiale", "\xC5\xA0koda \xE2\x9C\x88", "Tupolev"})));
}

TEST(ListingProgram, TextBeyondTheCodePageIsQuestionMarksInTheCLocale) {
  const BinaryRun run = RunListingBinary(kWideScript, {}, {{"LC_ALL", "C"}});
  ASSERT_TRUE(run.process.exited);
  EXPECT_EQ(run.process.exitCode, 0);
  EXPECT_THAT(run.shown, ElementsAreArray(Presented({"A?rospatiale", "?koda ?", "Tupolev"})));
}

TEST(ListingProgram, AMissingTableIsShownInOneBoxAndNothingIsWritten) {
  const BinaryRun run = RunListingBinary(
      "answer SQLPrepareW 1 rc SQL_ERROR diag S0002 -1305 "
      "\"[FakeODBC][Driver]The table 'avion' does not exist.\"\n");
  ASSERT_TRUE(run.process.exited);
  EXPECT_EQ(run.process.exitCode, 0);
  EXPECT_THAT(run.shown, ElementsAre(ErrorBox("The table 'avion' does not exist.\n")));
  EXPECT_EQ(Count(LoggedCalls(run.process), "SQLGetData"), 0);
  EXPECT_TRUE(LoggedBalanced(run.process));
}

}  // namespace
