// Temporary marker for operations whose bodies are still being written.
#pragma once
#include <cstdio>
#include <cstdlib>
[[noreturn]] inline void NotBuilt(const char* what) {
  std::fprintf(stderr, "not built yet: %s\n", what);
  std::abort();
}
