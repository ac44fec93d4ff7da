#include "tests/program/listing_binary.h"

#include <filesystem>

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
