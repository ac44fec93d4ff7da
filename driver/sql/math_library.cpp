#include "math_library.h"

namespace mdbodbc::sql {

const jet::LoadedLibrary& MathLibrary() {
  static const jet::LoadedLibrary library("libm.so.6");
  return library;
}

}  // namespace mdbodbc::sql
