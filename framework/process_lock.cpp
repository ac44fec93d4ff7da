#include "framework/process_lock.h"

std::recursive_mutex& ProcessLock(ProcessLockId id) {
  // Function-local statics: each lock is created on its first use, once.
  switch (id) {
    case ProcessLockId::Database: {
      static std::recursive_mutex database;
      return database;
    }
    case ProcessLockId::Creation:
      break;
  }
  static std::recursive_mutex creation;
  return creation;
}
