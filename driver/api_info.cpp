// Entry points that describe the driver: SQLGetInfo and SQLGetFunctions.
#include "handles.h"
#include "info_answers.h"
#include "text.h"

#include <cstring>

namespace mdbodbc {
namespace {

SQLRETURN GetInfo(Connection& dbc, SQLUSMALLINT type, SQLPOINTER value, SQLSMALLINT bufferLength,
                  SQLSMALLINT* length, bool wide) {
  std::optional<InfoAnswer> answer = AnswerInfo(dbc, type);
  if (!answer) return Fail(dbc, "HY096", "information type out of range");
  switch (answer->kind) {
    case InfoAnswer::Kind::Short: {
      auto number = static_cast<SQLUSMALLINT>(answer->number);
      if (value != nullptr) std::memcpy(value, &number, sizeof number);
      if (length != nullptr) *length = sizeof number;
      return SQL_SUCCESS;
    }
    case InfoAnswer::Kind::Integer: {
      SQLUINTEGER number = answer->number;
      if (value != nullptr) std::memcpy(value, &number, sizeof number);
      if (length != nullptr) *length = sizeof number;
      return SQL_SUCCESS;
    }
    case InfoAnswer::Kind::Text: {
      if (bufferLength < 0) return Fail(dbc, "HY090", "invalid string or buffer length");
      SQLLEN full = 0;
      bool whole = wide ? WriteWide(answer->text, static_cast<SQLWCHAR*>(value),
                                    bufferLength / 2, &full, true)
                        : WriteNarrow(answer->text, static_cast<SQLCHAR*>(value), bufferLength,
                                      &full);
      if (length != nullptr) *length = static_cast<SQLSMALLINT>(full);
      if (!whole && value != nullptr) return Warn(dbc, "01004", "string data, right truncated");
      return SQL_SUCCESS;
    }
  }
  return SQL_ERROR;
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetInfo(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value,
                                            SQLSMALLINT bufferLength, SQLSMALLINT* length) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    return GetInfo(dbc, type, value, bufferLength, length, false);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetInfoW(SQLHDBC handle, SQLUSMALLINT type, SQLPOINTER value,
                                             SQLSMALLINT bufferLength, SQLSMALLINT* length) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    return GetInfo(dbc, type, value, bufferLength, length, true);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetFunctions(SQLHDBC handle, SQLUSMALLINT function,
                                                 SQLUSMALLINT* supported) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    if (supported == nullptr) return Fail(dbc, "HY009", "invalid use of null pointer");
    if (function == SQL_API_ODBC3_ALL_FUNCTIONS) {
      std::memset(supported, 0, SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * sizeof(SQLUSMALLINT));
      // The driver manager asks for this at every connect: set the bits of the functions
      // implemented rather than test all 4,000 numbers.
      for (SQLUSMALLINT f : ImplementedFunctions()) {
        if (f < SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * 16) supported[f >> 4] |= static_cast<SQLUSMALLINT>(1 << (f & 0xF));
      }
      return SQLRETURN(SQL_SUCCESS);
    }
    if (function == SQL_API_ALL_FUNCTIONS) {
      for (unsigned f = 0; f < 100; ++f) {
        supported[f] = ImplementsFunction(static_cast<SQLUSMALLINT>(f)) ? SQL_TRUE : SQL_FALSE;
      }
      return SQLRETURN(SQL_SUCCESS);
    }
    *supported = ImplementsFunction(function) ? SQL_TRUE : SQL_FALSE;
    return SQLRETURN(SQL_SUCCESS);
  });
}
