#include "tests/db/support/recordset_connection.h"

#include "fake_odbc.h"

bool OpenTestConnection(CDatabase& database) {
  fakeodbc::reset();
  const BOOL opened = database.Open(nullptr, FALSE, FALSE, kTestConnect, TRUE);
  fakeodbc::clearLog();
  return opened && database.IsOpen();
}
