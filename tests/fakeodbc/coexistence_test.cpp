// A test executable that links the system libodbc (as the access layer does) and the fake
// together gets the fake: both files carry the soname libodbc.so.2 and the executable's run
// path names the fake's folder first, so only the fake is loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "fake_odbc.h"

namespace {

TEST(CoexistenceTest, ODBCCallsReachTheFakeWhenTheSystemLibraryIsLinkedToo) {
  fakeodbc::reset();
  SQLHENV env = SQL_NULL_HENV;
  ASSERT_EQ(SQLAllocEnv(&env), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::callLines(), std::vector<std::string>{"SQLAllocEnv(&env#1) -> SQL_SUCCESS"});
  EXPECT_EQ(SQLFreeEnv(env), SQL_SUCCESS);
  EXPECT_TRUE(fakeodbc::handleBalance().balanced());

  Dl_info where{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&SQLAllocEnv), &where), 0);
  EXPECT_EQ(std::string(where.dli_fname).rfind(FAKEODBC_LIBRARY_DIR, 0), 0u) << where.dli_fname;
}

}  // namespace
