#include "tests/support/process_libraries.h"

#include <fstream>

namespace testsupport {

bool LibraryMapped(const std::string& part) {
  std::ifstream maps("/proc/self/maps");
  for (std::string line; std::getline(maps, line);) {
    if (line.find(part) != std::string::npos) return true;
  }
  return false;
}

}  // namespace testsupport
