#include "math_library.h"

namespace mdbodbc::sql {

const LoadedLibrary& MathLibrary() {
  static const LoadedLibrary library("libm.so.6");
  return library;
}

}  // namespace mdbodbc::sql
