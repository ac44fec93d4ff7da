#pragma once
// The files Access made live outside the checkout, in the folder the build names as
// FIXTURES_DIR (CMake's DRAVON_FIXTURES_DIR). A test that reads one skips, saying where it
// looked, when the file is not there.
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

namespace testsupport {

inline std::string FixturePath(const std::string& name) {
  return std::string(FIXTURES_DIR) + "/" + name;
}

inline bool HaveFixture(const std::string& name) {
  return std::filesystem::exists(FixturePath(name));
}

inline std::string MissingFixture(const std::string& name) {
  return name + " not found in \"" FIXTURES_DIR "\"; configure with -DDRAVON_FIXTURES_DIR=<folder>";
}

}  // namespace testsupport

// Ends the running test as skipped when the fixture `name` is missing.
#define SKIP_WITHOUT_FIXTURE(name)                                         \
  do {                                                                     \
    if (!::testsupport::HaveFixture(name))                                 \
      GTEST_SKIP() << ::testsupport::MissingFixture(name);                 \
  } while (false)
