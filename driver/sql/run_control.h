// What the engine is told about one statement while it runs: a stop requested from another
// thread, and the time the statement may take.
#pragma once

#include <atomic>
#include <chrono>

namespace mdbodbc::sql {

struct RunControl {
  // Set from any thread to stop the statement at its next check; the engine only reads it.
  std::atomic<bool> cancel{false};
  // The longest one step of the statement may run (0: no limit). Set between steps.
  std::chrono::seconds timeLimit{0};
};

}  // namespace mdbodbc::sql
