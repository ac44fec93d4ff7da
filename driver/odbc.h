// ODBC headers of the driver manager and the macro that exports a driver entry point.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#define MDBODBC_EXPORT extern "C" __attribute__((visibility("default")))
