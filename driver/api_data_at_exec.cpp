// Entry points that take the values of data-at-execution parameters: SQLParamData names the
// next parameter that waits and, after the last, runs the statement; SQLPutData sends a value,
// whole or in pieces.
#include "data_at_exec.h"
#include "execution.h"
#include "handles.h"

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLParamData(SQLHSTMT handle, SQLPOINTER* value) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    DataAtExec& state = stmt.dataAtExec;
    if (!state.Active()) return Fail(stmt, "HY010", "function sequence error: no parameter waits for data");
    if (state.Advance()) {
      // The application knows the parameter by the buffer address it bound.
      if (value != nullptr) {
        char* bound = static_cast<char*>(stmt.parameters.at(state.Current()).target);
        const SQLLEN* offset = stmt.options.paramBindOffset;
        *value = bound != nullptr && offset != nullptr ? bound + *offset : bound;
      }
      return SQLRETURN(SQL_NEED_DATA);
    }
    SQLRETURN rc = WithSentValues(stmt, [&] { return RunWithBoundValues(stmt); });
    state.Reset();
    return rc;
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLPutData(SQLHSTMT handle, SQLPOINTER data, SQLLEN length) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return PutPiece(stmt, data, length); });
}
