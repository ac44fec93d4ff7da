#include "tests/program/listing_run.h"

#include <chrono>
#include <filesystem>

namespace e2e {

std::string BrandListingPath() { return std::filesystem::canonical(BRAND_LISTING_PROGRAM).string(); }

testsupport::ChildOptions ListingLaunch(const std::vector<std::string>& argv,
                                        const std::string& workingDirectory,
                                        const std::string& locale) {
  testsupport::ChildOptions options;
  options.argv = argv;
  options.workingFolder = workingDirectory;
  options.environment = {{"DISPLAY", std::nullopt},     {"WAYLAND_DISPLAY", std::nullopt},
                         {"LANGUAGE", std::nullopt},    {"LC_*", std::nullopt},
                         {"ODBCINI", std::nullopt},     {"ODBCINSTINI", std::nullopt},
                         {"ODBCSYSINI", ODBC_SYSINI_DIR}, {"LANG", locale},
                         {"LC_ALL", locale}};
  return options;
}

ProgramRun RunBrandListing(const std::string& workingDirectory, const std::string& locale) {
  return testsupport::RunChild(ListingLaunch({BrandListingPath()}, workingDirectory, locale),
                               std::chrono::seconds(30));
}

}  // namespace e2e
