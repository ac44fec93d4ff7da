#include "allowed_functions.h"

#include <algorithm>
#include <array>
#include <string>

namespace mdbodbc::sql {
namespace {

// The engine's own functions that translated statements use: aggregates, and the window
// functions of TOP. Sorted, looked up by binary search.
constexpr std::array<std::string_view, 8> kEngineFunctions = {
    "avg", "ceil", "count", "max", "min", "rank", "row_number", "sum",
};

constexpr std::string_view kDriverPrefix = "jet_";

}  // namespace

bool IsAllowedFunction(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // Only the driver registers functions with the engine, all under its prefix.
  if (lower.compare(0, kDriverPrefix.size(), kDriverPrefix) == 0) return true;
  return std::binary_search(kEngineFunctions.begin(), kEngineFunctions.end(), std::string_view(lower));
}

}  // namespace mdbodbc::sql
