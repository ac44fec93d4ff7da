// Call-log lines the tests expect from the scripted driver manager, and a way to join them.
#pragma once

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
