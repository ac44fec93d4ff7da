// Loading and unloading. A driver manager may unload the driver when its last connection ends
// and load it again for the next: each round must give back what the driver took, whether or not
// it carries its own C++ runtime. And the libraries the driver loads on demand say why a
// function cannot be had.
#include <dlfcn.h>
#include <malloc.h>

#include <gtest/gtest.h>

#include "jet/loaded_library.h"

namespace {

TEST(DriverLibraryTest, LoadingAndUnloadingKeepsNoMemory) {
  constexpr int kRounds = 20;
  if (void* loaded = ::dlopen(DRIVER_LIBRARY, RTLD_NOW | RTLD_NOLOAD)) {
    ::dlclose(loaded);
    GTEST_SKIP() << "an earlier test in this process left the driver loaded";
  }
  // Warm up once: the dynamic loader keeps some bookkeeping of its own after the first load.
  void* first = ::dlopen(DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(first, nullptr) << ::dlerror();
  ASSERT_EQ(::dlclose(first), 0);

  const size_t before = ::mallinfo2().uordblks;
  for (int round = 0; round < kRounds; ++round) {
    void* driver = ::dlopen(DRIVER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(driver, nullptr) << ::dlerror();
    ASSERT_NE(::dlsym(driver, "SQLDriverConnect"), nullptr);
    ASSERT_EQ(::dlclose(driver), 0);
  }
  const size_t after = ::mallinfo2().uordblks;
  // A load that keeps its runtime's 70 KB exception reserve would add well over a megabyte.
  EXPECT_LT(after > before ? after - before : 0, size_t{kRounds} * 4096)
      << "bytes still allocated after " << kRounds << " loads and unloads";
}

TEST(LoadedLibraryTest, FindsFunctionsOrSaysWhyNot) {
  struct Case {
    const char* library;
    const char* function;
    bool found;
    const char* problemMentions;
  };
  for (const Case& c : {Case{"libm.so.6", "cos", true, ""},
                        Case{"libm.so.6", "no_such_function", false, "libm.so.6 has no no_such_function"},
                        Case{"libno-such-library.so.9", "cos", false, "libno-such-library.so.9"}}) {
    const jet::LoadedLibrary library(c.library);
    std::string problem;
    auto cosine = library.Find<double (*)(double)>(c.function, problem);
    EXPECT_EQ(cosine != nullptr, c.found) << c.library << " " << c.function;
    if (cosine != nullptr) {
      EXPECT_EQ(cosine(0.0), 1.0);
    }
    EXPECT_NE(problem.find(c.problemMentions), std::string::npos) << problem;
    EXPECT_EQ(problem.empty(), c.found) << problem;
  }
}

}  // namespace
