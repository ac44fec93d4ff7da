// The program over unixODBC and the project's driver, run the way a user without a desktop runs
// it: from a fresh folder laid out as the program expects (the file <root>/bd2.mdb and the
// working directory <root>/hangar/bay, two levels below it, from which "../../bd2.mdb" names the
// file), with standard input from /dev/null, no display, a chosen locale and the build's driver
// registration; and what such a run must have left behind, judged as a whole so that a failure
// shows everything the program wrote.
#pragma once

#include <gtest/gtest.h>
#include <mdb_writer.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/program/listing_scenarios.h"
#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace e2e {

using ProgramRun = testsupport::ChildResult;

class ListingFolder {
 public:
  ListingFolder();

  const std::string& root() const { return folder_.path(); }
  std::string database() const { return folder_.Path("bd2.mdb"); }
  std::string bay() const { return folder_.Path("hangar/bay"); }  // two levels below the file

  void WriteDatabase(const std::vector<mkmdb::TableSpec>& tables) const;

 private:
  testsupport::TempFolder folder_{"brand-listing-e2e"};
};

// The table `avion` with the one column `marque` of the given type and a row for each value.
mkmdb::TableSpec BrandTable(const std::vector<mkmdb::Value>& brands,
                            mkmdb::ColumnType type = mkmdb::ColumnType::Text, int size = 255);

// Writes the scenario's database: its rows in avion.marque, a table without that column, a
// file without that table, or no file for a refused connection.
void WriteScenarioDatabase(const ListingFolder& folder, const listing::Scenario& scenario);

// The program's path with every symbolic link resolved: what it reads as its own executable.
std::string BrandListingPath();

// A run of the program from `workingDirectory`. The child gets the caller's environment without
// DISPLAY, WAYLAND_DISPLAY, LANG, LANGUAGE, LC_* and the driver manager's file variables, and
// then ODBCSYSINI set to the build's driver registration and LANG and LC_ALL set to `locale`.
testsupport::ChildOptions ListingLaunch(const std::string& workingDirectory,
                                        const std::string& locale = "C.UTF-8");

// The program run as above, killed after 30 seconds.
ProgramRun RunBrandListing(const std::string& workingDirectory,
                           const std::string& locale = "C.UTF-8");

struct ExpectedListing {
  // The values shown and written, in order, as the run's locale writes them.
  std::vector<std::string> values;
  // The text of the one box that shows a database error after the values, if any.
  std::optional<std::string> errorText;
};

// A completed run (status 0) that showed each value in a box and then wrote it on a line of
// its own, then showed the error box if one is expected, and wrote nothing else: every box
// carries the program's path as its caption and the warning icon.
testing::AssertionResult CompletedListing(const ProgramRun& run, const ExpectedListing& expected);

// A run that could not open its database: status 1, nothing on standard output, no box, and
// exactly one line on standard error, which names the failure and carries the message the
// driver itself gives for the program's connect string from `directory`.
void ExpectRefusedWithDriverMessage(const ProgramRun& run, const std::string& directory);

// The block a box of the program writes on standard error for `text`.
std::string Block(const std::string& text);

// The run's output, for failure messages.
std::string Describe(const ProgramRun& run);

}  // namespace e2e
