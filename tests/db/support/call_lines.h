// Call-log lines the tests expect from the scripted driver manager, and a way to join them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tests/fakeodbc/fake_odbc.h"

// The log's name of SQL_NO_DATA_FOUND.
inline const std::string kNoData = fakeodbc::returnCodeName(SQL_NO_DATA_FOUND);

// `head` followed by `tail`.
std::vector<std::string> Concat(std::vector<std::string> head,
                                const std::vector<std::string>& tail);

// The calls of a recordset constructed on dbc#1 and opened on the program's statement on a
// healthy driver: the statement, the open-state probe and the two reads of its diagnostic,
// the options, the statement sent, its column and the first fetch, which answers `firstFetch`.
std::vector<std::string> RecordsetOpenCalls(const std::string& firstFetch = "SQL_SUCCESS");

// The log lines of a healthy open of a first connection (dbc#1 on env#1) from the connect
// text given to the driver, with the login timeout and cursor library options, up to the
// last capability query. `allocatesEnvironment` FALSE leaves out SQLAllocEnv; `connection`
// names the connection handle.
std::vector<std::string> HealthyOpenCalls(const std::string& connectText,
                                          bool allocatesEnvironment = true,
                                          const std::string& connection = "dbc#1",
                                          const std::string& environment = "env#1");

// The release of a healthy connection: its disconnect (answering `disconnect`) and free, then,
// when `freesEnvironment`, the environment's env#1.
std::vector<std::string> ReleaseCalls(const std::string& connection = "dbc#1",
                                      bool freesEnvironment = true,
                                      const std::string& disconnect = "SQL_SUCCESS");

// The capability queries after the conformance checks, on a healthy updatable connection.
std::vector<std::string> CapabilityQueryCalls(const std::string& connection = "dbc#1");

// The traces of the capability queries on the healthy driver.
std::vector<std::string> HealthyCapabilityTraces();

// The calls logged after call number `after`: "SQLPrepareW(stmt#1, ...) -> SQL_SUCCESS".
std::vector<std::string> CallLinesAfter(std::size_t after);
// The same calls by name only.
std::vector<std::string> CallNamesAfter(std::size_t after);
// The calls after `after` without the diagnostic reads (SQLErrorW), whose number depends on
// how many records a failing call posted.
std::vector<std::string> CallLinesWithoutDiagnosticsAfter(std::size_t after);
// How many calls of `name` were logged after call number `after`.
int CountCallsAfter(std::size_t after, const std::string& name);
