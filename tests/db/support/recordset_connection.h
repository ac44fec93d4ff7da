// A connection opened through the scripted driver manager the way the program opens its own,
// for tests of recordsets that need an open connection.
#pragma once

#include "db/database.h"
#include "db/recordset.h"

// The connect text the tests open with; the scripted driver accepts any.
inline constexpr char16_t kTestConnect[] = u"ODBC;DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=t.mdb";

// Resets the scripted driver manager, opens `database` with the program's arguments (no data
// source name, not exclusive, not read-only, the cursor library) and forgets the calls made so
// far. Returns whether the connection opened.
bool OpenTestConnection(CDatabase& database);
