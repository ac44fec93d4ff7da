#include "tests/program/scripted_listing.h"

#include <filesystem>

#include "db/database.h"
#include "tests/fakeodbc/fake_odbc.h"

const std::vector<std::string> kClosingCalls = {"SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                                                "SQLDisconnect(dbc#1) -> SQL_SUCCESS",
                                                "SQLFreeConnect(dbc#1) -> SQL_SUCCESS",
                                                "SQLFreeEnv(env#1) -> SQL_SUCCESS"};

void StartInProcessListing() {
  PresentBoxesOnStandardError();
  fakeodbc::reset();
  GetDatabaseProcessState() = DatabaseProcessState{};
}

std::string ListingBinaryPath() {
  return std::filesystem::canonical(BRAND_LISTING_PROGRAM).string();
}

BinaryRun RunListingBinary(const std::string& script, const std::vector<std::string>& wrapper,
                           const testsupport::EnvironmentChanges& environment,
                           int timeoutSeconds) {
  std::vector<std::string> command = wrapper;
  command.push_back(ListingBinaryPath());
  BinaryRun run;
  run.process = RunProgramWithFake(command[0], FAKEODBC_LIBRARY_DIR, script,
                                   std::vector<std::string>(command.begin() + 1, command.end()),
                                   timeoutSeconds, environment, true);
  run.shown = ParseShown(run.process.out);
  return run;
}
