#include "tests/program/driver_listing.h"

#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/support/message_box_blocks.h"

namespace e2e {

namespace {

// Connects from `workingDirectory` (the process's directory is restored afterwards) and returns
// the message of the first diagnostic record without its bracketed origins, or an empty text
// when the connection succeeds.
std::string DriverConnectMessage(const std::string& workingDirectory) {
  ::setenv("ODBCSYSINI", ODBC_SYSINI_DIR, 1);
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    throw std::runtime_error("no ODBC environment");
  }
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(workingDirectory);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  std::string message;
  if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    // The connect string's driver and file, as the program sends them.
    SQLCHAR connect[] = "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";
    SQLCHAR out[1024];
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, connect, SQL_NTS, out, sizeof out, &length,
                                       SQL_DRIVER_NOPROMPT))) {
      SQLDisconnect(dbc);
    } else {
      SQLCHAR state[6] = {};
      SQLINTEGER native = 0;
      SQLCHAR text[1024] = {};
      if (SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native, text, sizeof text,
                                      &length))) {
        message = reinterpret_cast<const char*>(text);
      }
      while (message.starts_with('[') && message.find(']') != std::string::npos) {
        message.erase(0, message.find(']') + 1);
      }
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  std::filesystem::current_path(previous);
  if (message.empty() && dbc == SQL_NULL_HDBC) throw std::runtime_error("no ODBC connection");
  return message;
}

}  // namespace

ListingFolder::ListingFolder() { std::filesystem::create_directories(bay()); }

void ListingFolder::WriteDatabase(const std::vector<mkmdb::TableSpec>& tables) const {
  mkmdb::WriteDatabase(database(), tables);
}

mkmdb::TableSpec BrandTable(const std::vector<mkmdb::Value>& brands, mkmdb::ColumnType type,
                            int size) {
  mkmdb::TableSpec table{"avion", {{"marque", type, size}}, {}};
  for (const mkmdb::Value& brand : brands) table.rows.push_back({brand});
  return table;
}

void WriteScenarioDatabase(const ListingFolder& folder, const listing::Scenario& scenario) {
  using listing::Disturbance;
  using mkmdb::ColumnType;
  switch (scenario.disturbance) {
    case Disturbance::MissingTable:
      folder.WriteDatabase({{"helicoptere", {{"marque", ColumnType::Text, 50}}, {{"Bell"}}}});
      return;
    case Disturbance::MissingColumn:
      folder.WriteDatabase({{"avion", {{"nom", ColumnType::Text, 50}}, {{"Airbus"}, {"Boeing"}}}});
      return;
    case Disturbance::RefusedConnection:
      return;
    default:
      folder.WriteDatabase({BrandTable(scenario.rows,
                                       scenario.memo ? ColumnType::Memo : ColumnType::Text,
                                       scenario.size)});
  }
}

std::string BrandListingPath() {
  return std::filesystem::canonical(BRAND_LISTING_PROGRAM).string();
}

testsupport::ChildOptions ListingLaunch(const std::string& workingDirectory,
                                        const std::string& locale) {
  testsupport::ChildOptions options;
  options.argv = {BrandListingPath()};
  options.workingFolder = workingDirectory;
  options.environment = {{"DISPLAY", std::nullopt},     {"WAYLAND_DISPLAY", std::nullopt},
                         {"LANGUAGE", std::nullopt},    {"LC_*", std::nullopt},
                         {"ODBCINI", std::nullopt},     {"ODBCINSTINI", std::nullopt},
                         {"ODBCSYSINI", ODBC_SYSINI_DIR}, {"LANG", locale},
                         {"LC_ALL", locale}};
  return options;
}

ProgramRun RunBrandListing(const std::string& workingDirectory, const std::string& locale) {
  return testsupport::RunChild(ListingLaunch(workingDirectory, locale), std::chrono::seconds(30));
}

std::string Block(const std::string& text) {
  return testsupport::BlockOf(BrandListingPath(), text);
}

std::string Describe(const ProgramRun& run) {
  return "ended: " + run.How() + "\n--- standard output ---\n" + run.out +
         "\n--- standard error ---\n" + run.err + "\n--- end ---";
}

testing::AssertionResult CompletedListing(const ProgramRun& run, const ExpectedListing& expected) {
  std::string lines;
  std::string blocks;
  for (const std::string& value : expected.values) {
    lines += "-- " + value + "\n";
    blocks += Block(value);
  }
  if (expected.errorText) blocks += Block(*expected.errorText);
  if (run.exited && run.exitCode == 0 && run.out == lines && run.err == blocks) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << Describe(run) << "\nexpected status 0, standard output:\n"
                                     << lines << "--- and standard error:\n" << blocks;
}

void ExpectRefusedWithDriverMessage(const ProgramRun& run, const std::string& directory) {
  const std::string driverMessage = DriverConnectMessage(directory);
  ASSERT_NE(driverMessage, "") << "the driver accepted the connection";
  EXPECT_NE(driverMessage.find("bd2.mdb"), std::string::npos) << driverMessage;

  ASSERT_TRUE(run.exited && run.exitCode == 1) << Describe(run);
  EXPECT_EQ(run.out, "") << Describe(run);
  ASSERT_TRUE(!run.err.empty() && run.err.find('\n') == run.err.size() - 1)
      << "standard error is not exactly one line\n" << Describe(run);
  EXPECT_EQ(run.err.rfind("brand-listing: cannot open the database: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(driverMessage), std::string::npos)
      << run.err << "does not carry the driver's message:\n" << driverMessage;
}

}  // namespace e2e
