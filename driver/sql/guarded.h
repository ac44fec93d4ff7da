// The driver's SQL functions run inside the engine's C code, which an exception cannot cross:
// one that would leave a function becomes the SQL error of its call instead of stopping the
// host process.
#pragma once

#include <sqlite3.h>

#include <exception>
#include <new>

namespace mdbodbc::sql {

using SqlFunction = void (*)(sqlite3_context*, int, sqlite3_value**);

inline void CallGuarded(SqlFunction function, sqlite3_context* context, int argc, sqlite3_value** argv) noexcept {
  try {
    function(context, argc, argv);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  } catch (const std::exception& e) {
    sqlite3_result_error(context, e.what(), -1);
  } catch (...) {
    sqlite3_result_error(context, "internal error of unknown kind", -1);
  }
}

template <SqlFunction Function>
void Guarded(sqlite3_context* context, int argc, sqlite3_value** argv) noexcept {
  CallGuarded(Function, context, argc, argv);
}

}  // namespace mdbodbc::sql
