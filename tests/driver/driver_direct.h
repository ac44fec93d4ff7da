// The driver's own entry points and handles, for the few tests that must reach the driver
// without the driver manager in between (which answers some calls itself, or has races of its
// own). The driver manager must have loaded the driver already.
#pragma once

#include <dlfcn.h>
#include <sql.h>
#include <sqlext.h>

#include <gtest/gtest.h>

namespace drivertest {

// The driver's entry point `name`, of type F; null (and a test failure) when there is none.
template <typename F>
F DriverEntry(const char* name) {
  void* driver = ::dlopen(DRIVER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
  EXPECT_NE(driver, nullptr) << "the driver manager has not loaded " << DRIVER_LIBRARY;
  if (driver == nullptr) return nullptr;
  auto entry = reinterpret_cast<F>(::dlsym(driver, name));
  ::dlclose(driver);  // the driver manager keeps it loaded
  EXPECT_NE(entry, nullptr) << name;
  return entry;
}

// The driver's handle of a statement of the driver manager (SQL_DRIVER_HSTMT).
inline SQLHSTMT DriverStatement(SQLHDBC dbc, SQLHSTMT stmt) {
  SQLHSTMT handle = stmt;
  EXPECT_EQ(SQLGetInfo(dbc, SQL_DRIVER_HSTMT, &handle, sizeof handle, nullptr), SQL_SUCCESS);
  return handle;
}

}  // namespace drivertest
