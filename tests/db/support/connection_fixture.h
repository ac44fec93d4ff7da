// Common ground of the connection's tests: a healthy scripted driver, a fresh process record
// of the shared environment, a capture of every trace, and the calls of a healthy open.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/database.h"
#include "tests/db/support/call_lines.h"
#include "tests/db/support/test_names.h"
#include "tests/db/support/trace_capture.h"
#include "tests/fakeodbc/fake_odbc.h"

class ConnectionTest : public ::testing::Test {
 protected:
  // Back to a healthy driver with no handle, and to a process without environment: every
  // test starts as the first connection of a fresh process.
  void SetUp() override;

  // The process record of the shared environment.
  static DatabaseProcessState& Process() { return GetDatabaseProcessState(); }

  // The calls logged since the last reset or clearLog, in the log's line form.
  static std::vector<std::string> Calls() { return fakeodbc::callLines(); }

  TraceCapture traces;
};

// The log lines of a healthy open of a first connection (dbc#1 on env#1) from the connect
// text given to the driver, with the login timeout and cursor library options, up to the
// last capability query. `allocatesEnvironment` FALSE leaves out SQLAllocEnv; `connection`
// names the connection handle.
std::vector<std::string> HealthyOpenCalls(const std::string& connectText,
                                          bool allocatesEnvironment = true,
                                          const std::string& connection = "dbc#1",
                                          const std::string& environment = "env#1");

// The capability queries after the conformance checks, on a healthy updatable connection.
std::vector<std::string> CapabilityQueryCalls(const std::string& connection = "dbc#1");

// The traces of the capability queries on the healthy driver.
std::vector<std::string> HealthyCapabilityTraces();
