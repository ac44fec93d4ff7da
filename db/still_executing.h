// A statement of a connection in asynchronous mode answers SQL_STILL_EXECUTING until its call
// has finished; the layer waits for the final answer by making the same call again.
#pragma once

#include <sql.h>

template <typename Call>
RETCODE CallUntilDone(Call&& call) {
  RETCODE rc;
  do {
    rc = call();
  } while (rc == SQL_STILL_EXECUTING);
  return rc;
}
