// Answers for the scripted driver manager that do a call's normal work and then report
// something other than what the work produced.
#pragma once

#include "tests/fakeodbc/fake_odbc.h"

// The normal work, reporting `length` as the length output.
fakeodbc::Answer ReportingLength(SQLLEN length);

// The normal fetch, reporting `status` for the row.
fakeodbc::Answer ReportingRowStatus(SQLUSMALLINT status);
