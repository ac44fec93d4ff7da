// Entry points on descriptors: SQLGetDescField and SQLSetDescField over the statement's
// bound columns (ARD), bound parameters (APD), result columns (IRD) and parameters (IPD).
#include "descriptors.h"
#include "sql/column_description.h"
#include "text.h"

#include <cstring>

namespace mdbodbc {

Descriptor* StatementDescriptor(Statement& stmt, SQLINTEGER which) {
  std::size_t slot = static_cast<std::size_t>(which - SQL_ATTR_APP_ROW_DESC);
  if (slot >= 4) return nullptr;
  if (!stmt.descriptors[slot]) stmt.descriptors[slot] = std::make_unique<Descriptor>(&stmt, which);
  return stmt.descriptors[slot].get();
}

namespace {

bool IsApplication(const Descriptor& d) {
  return d.type == SQL_ATTR_APP_ROW_DESC || d.type == SQL_ATTR_APP_PARAM_DESC;
}

std::map<SQLUSMALLINT, Binding>& Bindings(Descriptor& d) {
  return d.type == SQL_ATTR_APP_ROW_DESC || d.type == SQL_ATTR_IMP_ROW_DESC ? d.statement->columns
                                                                              : d.statement->parameters;
}

template <typename T>
void PutNumber(SQLPOINTER value, T number, SQLINTEGER* length) {
  if (value != nullptr) std::memcpy(value, &number, sizeof number);
  if (length != nullptr) *length = sizeof number;
}

SQLRETURN GetField(Descriptor& d, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value, SQLINTEGER bufferLength,
                   SQLINTEGER* length, bool wide) {
  Statement& stmt = *d.statement;
  if (field == SQL_DESC_COUNT) {
    SQLSMALLINT count = 0;
    if (d.type == SQL_ATTR_IMP_ROW_DESC) {
      count = stmt.Columns() ? static_cast<SQLSMALLINT>(stmt.Columns()->size()) : 0;
    } else if (d.type == SQL_ATTR_IMP_PARAM_DESC) {
      count = stmt.query ? static_cast<SQLSMALLINT>(stmt.query->ParameterCount()) : 0;
    } else if (!Bindings(d).empty()) {
      count = static_cast<SQLSMALLINT>(Bindings(d).rbegin()->first);
    }
    PutNumber(value, count, length);
    return SQL_SUCCESS;
  }
  if (field == SQL_DESC_ALLOC_TYPE) {
    PutNumber(value, static_cast<SQLSMALLINT>(SQL_DESC_ALLOC_AUTO), length);
    return SQL_SUCCESS;
  }
  if (field == SQL_DESC_ARRAY_SIZE && IsApplication(d)) {
    PutNumber(value, d.type == SQL_ATTR_APP_ROW_DESC ? stmt.options.rowArraySize : stmt.options.paramsetSize, length);
    return SQL_SUCCESS;
  }
  if (field == SQL_DESC_ARRAY_STATUS_PTR) {
    SQLPOINTER p = d.type == SQL_ATTR_IMP_ROW_DESC ? static_cast<SQLPOINTER>(stmt.options.rowStatus)
                   : d.type == SQL_ATTR_IMP_PARAM_DESC ? static_cast<SQLPOINTER>(stmt.options.paramStatus) : nullptr;
    PutNumber(value, p, length);
    return SQL_SUCCESS;
  }
  if (field == SQL_DESC_ROWS_PROCESSED_PTR) {
    SQLPOINTER p = d.type == SQL_ATTR_IMP_ROW_DESC ? static_cast<SQLPOINTER>(stmt.options.rowsFetched)
                                                   : static_cast<SQLPOINTER>(stmt.options.paramsProcessed);
    PutNumber(value, p, length);
    return SQL_SUCCESS;
  }
  if (record < 1) return Fail(stmt, "07009", "invalid descriptor index");
  if (d.type == SQL_ATTR_IMP_ROW_DESC) {
    // The result columns, as SQLColAttribute answers for them.
    SQLLEN number = 0;
    SQLSMALLINT textLength = 0;
    std::string text(1024, '\0');
    SQLRETURN rc = wide ? SQLColAttributeW(&stmt, static_cast<SQLUSMALLINT>(record), static_cast<SQLUSMALLINT>(field),
                                           value, static_cast<SQLSMALLINT>(std::min<SQLINTEGER>(bufferLength, SHRT_MAX)),
                                           &textLength, &number)
                        : SQLColAttribute(&stmt, static_cast<SQLUSMALLINT>(record), static_cast<SQLUSMALLINT>(field),
                                          value, static_cast<SQLSMALLINT>(std::min<SQLINTEGER>(bufferLength, SHRT_MAX)),
                                          &textLength, &number);
    if (!SQL_SUCCEEDED(rc)) {
      for (const DiagRecord& r : stmt.diag.Records()) d.diag.Add(r.state, r.message.substr(kMessagePrefix.size()));
      return rc;
    }
    switch (field) {
      case SQL_DESC_NAME: case SQL_DESC_LABEL: case SQL_DESC_BASE_COLUMN_NAME: case SQL_DESC_TABLE_NAME:
      case SQL_DESC_BASE_TABLE_NAME: case SQL_DESC_TYPE_NAME: case SQL_DESC_LOCAL_TYPE_NAME:
      case SQL_DESC_SCHEMA_NAME: case SQL_DESC_CATALOG_NAME: case SQL_DESC_LITERAL_PREFIX:
      case SQL_DESC_LITERAL_SUFFIX:
        if (length != nullptr) *length = textLength;
        return rc;
      case SQL_DESC_TYPE: case SQL_DESC_CONCISE_TYPE: case SQL_DESC_NULLABLE: case SQL_DESC_SCALE:
      case SQL_DESC_PRECISION: case SQL_DESC_UNNAMED: case SQL_DESC_UPDATABLE: case SQL_DESC_SEARCHABLE:
      case SQL_DESC_FIXED_PREC_SCALE: case SQL_DESC_UNSIGNED: case SQL_DESC_CASE_SENSITIVE:
      case SQL_DESC_DATETIME_INTERVAL_CODE:
        PutNumber(value, static_cast<SQLSMALLINT>(number), length);
        return rc;
      case SQL_DESC_AUTO_UNIQUE_VALUE: case SQL_DESC_NUM_PREC_RADIX:
        PutNumber(value, static_cast<SQLINTEGER>(number), length);
        return rc;
      default:
        PutNumber(value, number, length);
        return rc;
    }
  }
  auto found = Bindings(d).find(static_cast<SQLUSMALLINT>(record));
  Binding b = found != Bindings(d).end() ? found->second : Binding{};
  switch (field) {
    case SQL_DESC_TYPE:
    case SQL_DESC_CONCISE_TYPE:
      PutNumber(value, IsApplication(d) ? b.cType : b.sqlType, length);
      return SQL_SUCCESS;
    case SQL_DESC_DATA_PTR: PutNumber(value, b.target, length); return SQL_SUCCESS;
    case SQL_DESC_INDICATOR_PTR: PutNumber(value, b.indicator, length); return SQL_SUCCESS;
    case SQL_DESC_OCTET_LENGTH_PTR: PutNumber(value, b.octetLength ? b.octetLength : b.indicator, length); return SQL_SUCCESS;
    case SQL_DESC_OCTET_LENGTH: PutNumber(value, b.bufferLength, length); return SQL_SUCCESS;
    case SQL_DESC_LENGTH: PutNumber(value, b.columnSize, length); return SQL_SUCCESS;
    case SQL_DESC_PRECISION: PutNumber(value, static_cast<SQLSMALLINT>(b.columnSize), length); return SQL_SUCCESS;
    case SQL_DESC_SCALE: PutNumber(value, b.digits, length); return SQL_SUCCESS;
    case SQL_DESC_PARAMETER_TYPE: PutNumber(value, b.ioType, length); return SQL_SUCCESS;
    case SQL_DESC_NULLABLE: PutNumber(value, static_cast<SQLSMALLINT>(SQL_NULLABLE), length); return SQL_SUCCESS;
    default: return Fail(d, "HY091", "invalid descriptor field identifier");
  }
}

SQLRETURN SetField(Descriptor& d, SQLSMALLINT record, SQLSMALLINT field, SQLPOINTER value) {
  Statement& stmt = *d.statement;
  auto number = static_cast<SQLLEN>(reinterpret_cast<intptr_t>(value));
  if (d.type == SQL_ATTR_IMP_ROW_DESC) return Fail(d, "HY016", "cannot modify an implementation row descriptor");
  if (field == SQL_DESC_ARRAY_SIZE && IsApplication(d)) {
    return d.type == SQL_ATTR_APP_ROW_DESC ? SQLSetStmtAttr(&stmt, SQL_ATTR_ROW_ARRAY_SIZE, value, 0)
                                           : SQLSetStmtAttr(&stmt, SQL_ATTR_PARAMSET_SIZE, value, 0);
  }
  if (field == SQL_DESC_ARRAY_STATUS_PTR) {
    if (d.type == SQL_ATTR_IMP_PARAM_DESC) stmt.options.paramStatus = static_cast<SQLUSMALLINT*>(value);
    return SQL_SUCCESS;
  }
  if (field == SQL_DESC_BIND_OFFSET_PTR) {
    (d.type == SQL_ATTR_APP_ROW_DESC ? stmt.options.rowBindOffset : stmt.options.paramBindOffset) =
        static_cast<SQLLEN*>(value);
    return SQL_SUCCESS;
  }
  if (field == SQL_DESC_COUNT) {
    auto& bindings = Bindings(d);
    for (auto it = bindings.begin(); it != bindings.end();) {
      it = it->first > number ? bindings.erase(it) : std::next(it);
    }
    return SQL_SUCCESS;
  }
  if (record < 1) return Fail(d, "07009", "invalid descriptor index");
  Binding& b = Bindings(d)[static_cast<SQLUSMALLINT>(record)];
  bool application = IsApplication(d);
  switch (field) {
    case SQL_DESC_TYPE:
    case SQL_DESC_CONCISE_TYPE:
      (application ? b.cType : b.sqlType) = static_cast<SQLSMALLINT>(number);
      return SQL_SUCCESS;
    case SQL_DESC_DATA_PTR: b.target = value; return SQL_SUCCESS;
    case SQL_DESC_INDICATOR_PTR: b.indicator = static_cast<SQLLEN*>(value); return SQL_SUCCESS;
    case SQL_DESC_OCTET_LENGTH_PTR: b.octetLength = static_cast<SQLLEN*>(value); return SQL_SUCCESS;
    case SQL_DESC_OCTET_LENGTH: b.bufferLength = number; return SQL_SUCCESS;
    case SQL_DESC_LENGTH:
    case SQL_DESC_PRECISION: b.columnSize = static_cast<SQLULEN>(number); return SQL_SUCCESS;
    case SQL_DESC_SCALE: b.digits = static_cast<SQLSMALLINT>(number); return SQL_SUCCESS;
    case SQL_DESC_PARAMETER_TYPE: b.ioType = static_cast<SQLSMALLINT>(number); return SQL_SUCCESS;
    default: return Fail(d, "HY091", "invalid descriptor field identifier");
  }
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetDescField(SQLHDESC handle, SQLSMALLINT record, SQLSMALLINT field,
                                                 SQLPOINTER value, SQLINTEGER bufferLength, SQLINTEGER* length) {
  return WithHandle<Descriptor>(handle, HandleKind::Descriptor, [&](Descriptor& d) {
    return GetField(d, record, field, value, bufferLength, length, false);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetDescFieldW(SQLHDESC handle, SQLSMALLINT record, SQLSMALLINT field,
                                                  SQLPOINTER value, SQLINTEGER bufferLength, SQLINTEGER* length) {
  return WithHandle<Descriptor>(handle, HandleKind::Descriptor, [&](Descriptor& d) {
    return GetField(d, record, field, value, bufferLength, length, true);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSetDescField(SQLHDESC handle, SQLSMALLINT record, SQLSMALLINT field,
                                                 SQLPOINTER value, SQLINTEGER) {
  return WithHandle<Descriptor>(handle, HandleKind::Descriptor,
                                [&](Descriptor& d) { return SetField(d, record, field, value); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSetDescFieldW(SQLHDESC handle, SQLSMALLINT record, SQLSMALLINT field,
                                                  SQLPOINTER value, SQLINTEGER) {
  return WithHandle<Descriptor>(handle, HandleKind::Descriptor,
                                [&](Descriptor& d) { return SetField(d, record, field, value); });
}
