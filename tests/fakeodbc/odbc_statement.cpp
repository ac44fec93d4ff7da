// Entry points of a statement up to its result description: allocation, options, prepare,
// execute, column count and description, and freeing.
#include "state.h"
#include "text.h"

using namespace fakeodbc;
using namespace fakeodbc::detail;

namespace {

// The bits of an information answer; every bit when the table has no such answer.
std::uint32_t infoBits(const State& state, SQLUSMALLINT infoType) {
  const auto found = state.info.find(infoType);
  if (found == state.info.end() || found->second.kind == InfoValue::Kind::Text) return ~0u;
  return found->second.number;
}

// The value a driver with the connection's SQL_SCROLL_OPTIONS and SQL_SCROLL_CONCURRENCY
// keeps for a cursor type or concurrency: the one asked for when it offers it, else the next
// weaker one (dynamic, keyset-driven, static, forward-only; any concurrency to read-only).
SQLULEN supportedOptionValue(const State& state, SQLUSMALLINT option, SQLULEN value) {
  if (option == SQL_CURSOR_TYPE) {
    const std::uint32_t offered = infoBits(state, SQL_SCROLL_OPTIONS);
    // Forward-only, with no bit, is always possible.
    const std::pair<SQLULEN, std::uint32_t> weakerFirst[] = {
        {SQL_CURSOR_FORWARD_ONLY, 0}, {SQL_CURSOR_STATIC, SQL_SO_STATIC},
        {SQL_CURSOR_KEYSET_DRIVEN, SQL_SO_KEYSET_DRIVEN}, {SQL_CURSOR_DYNAMIC, SQL_SO_DYNAMIC}};
    SQLULEN kept = SQL_CURSOR_FORWARD_ONLY;
    for (const auto& [type, bit] : weakerFirst) {
      if (bit == 0 || (offered & bit) != 0) kept = type;
      if (type == value) return kept;
    }
    return value;  // not a cursor type the fake knows: kept as given
  }
  if (option == SQL_CONCURRENCY) {
    const std::uint32_t offered = infoBits(state, SQL_SCROLL_CONCURRENCY);
    const std::pair<SQLULEN, std::uint32_t> bits[] = {{SQL_CONCUR_LOCK, SQL_SCCO_LOCK},
                                                      {SQL_CONCUR_ROWVER, SQL_SCCO_OPT_ROWVER},
                                                      {SQL_CONCUR_VALUES, SQL_SCCO_OPT_VALUES}};
    for (const auto& [concurrency, bit] : bits) {
      if (concurrency == value && (offered & bit) == 0) return SQL_CONCUR_READ_ONLY;
    }
  }
  return value;
}

// Writes a column description; true when the name had to be cut.
bool writeDescription(const Column& column, SQLWCHAR* name, SQLSMALLINT nameCapacity,
                      SQLSMALLINT* nameLength, SQLSMALLINT* sqlType, SQLULEN* size,
                      SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  const bool cut = name != nullptr && writeWide(name, nameCapacity, column.name);
  if (nameLength != nullptr) *nameLength = static_cast<SQLSMALLINT>(column.name.size());
  if (sqlType != nullptr) *sqlType = column.sqlType;
  if (size != nullptr) *size = column.size;
  if (digits != nullptr) *digits = column.decimalDigits;
  if (nullable != nullptr) *nullable = column.nullable;
  return cut;
}

// SQLPrepareW and SQLExecDirectW: the statement takes the text and its result; a direct
// execution opens the cursor at once.
SQLRETURN takeText(Fn fn, SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  const std::u16string statementText = readWide(text, length);
  return onHandle<Stmt>(
      fn, statement,
      ", " + (text ? quoted(statementText) : std::string("NULL")) + ", " + lengthName(length),
      [&](State& state, Stmt& stmt) {
        if (stmt.phase == Phase::Open) return invalidCursorState();
        if (text == nullptr) return invalidNullPointer();
        if (length < 0 && length != SQL_NTS) return invalidLength();
        stmt.text = statementText;
        const auto found = state.resultsByText.find(statementText);
        stmt.result = found == state.resultsByText.end() ? state.defaultResult : found->second;
        stmt.prepared = fn == Fn::SQLPrepareW;
        if (stmt.prepared) {
          stmt.phase = Phase::Prepared;
        } else {
          openCursor(stmt);
        }
        return Reply::ok();
      });
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocStmt(SQLHDBC connection, SQLHSTMT* statement) {
  return allocateOn<Dbc, Stmt>(
      Fn::SQLAllocStmt, connection, statement,
      [](Dbc& dbc) { return dbc.connected ? std::nullopt : std::optional(connectionNotOpen()); },
      [](Dbc& dbc, Stmt& created) {
        created.dbc = &dbc;
        // Statement options set on the connection are the defaults of its statements.
        for (const auto& [option, value] : dbc.options) {
          if (option <= SQL_USE_BOOKMARKS) created.options[option] = value;
        }
        dbc.statements.push_back(&created);
      });
}

SQLRETURN SQL_API SQLSetStmtOption(SQLHSTMT statement, SQLUSMALLINT option, SQLULEN value) {
  return onHandle<Stmt>(
      Fn::SQLSetStmtOption, statement,
      ", " + nameOf(NameSet::StatementOption, option) + ", " + std::to_string(value),
      [&](State& state, Stmt& stmt) {
        if (option > SQL_USE_BOOKMARKS) return optionOutOfRange();
        const SQLULEN kept = supportedOptionValue(state, option, value);
        stmt.options[option] = kept;
        if (kept != value) {
          return Reply::withInfo("01S02", u"[FakeODBC][Driver]Option value changed");
        }
        return Reply::ok();
      },
      [&](const Answer& scripted, State&, Stmt& stmt) {
        if (scripted.number && option <= SQL_USE_BOOKMARKS) {
          stmt.options[option] = static_cast<SQLULEN>(*scripted.number);
        }
      });
}

SQLRETURN SQL_API SQLGetStmtOption(SQLHSTMT statement, SQLUSMALLINT option, SQLPOINTER value) {
  auto* out = static_cast<SQLULEN*>(value);
  return onHandle<Stmt>(
      Fn::SQLGetStmtOption, statement, ", " + nameOf(NameSet::StatementOption, option),
      [&](State&, Stmt& stmt) {
        if (out == nullptr) return invalidNullPointer();
        if (option == SQL_ROW_NUMBER) {
          if (stmt.phase != Phase::Open) return functionSequenceError();
          if (stmt.position != Position::OnRowset) return invalidCursorState();
          *out = stmt.firstRow + 1;
          return Reply::ok();
        }
        if (option == SQL_GET_BOOKMARK) return driverError("S1C00", u"Driver not capable");
        if (option > SQL_ROW_NUMBER) return optionOutOfRange();
        *out = statementOptionValue(stmt, option);
        return Reply::ok();
      },
      [&](const Answer& scripted, State&, Stmt&) { put(out, scripted.number); });
}

SQLRETURN SQL_API SQLPrepareW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  return takeText(Fn::SQLPrepareW, statement, text, length);
}

SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT statement, SQLWCHAR* text, SQLINTEGER length) {
  return takeText(Fn::SQLExecDirectW, statement, text, length);
}

SQLRETURN SQL_API SQLExecute(SQLHSTMT statement) {
  return onHandle<Stmt>(Fn::SQLExecute, statement, "", [&](State&, Stmt& stmt) {
    if (stmt.phase == Phase::Open) return invalidCursorState();
    if (stmt.phase != Phase::Prepared) return functionSequenceError();
    openCursor(stmt);
    return Reply::ok();
  });
}

SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT statement, SQLSMALLINT* count) {
  return onHandle<Stmt>(
      Fn::SQLNumResultCols, statement, "",
      [&](State&, Stmt& stmt) {
        if (stmt.phase == Phase::Allocated) return functionSequenceError();
        if (count == nullptr) return invalidNullPointer();
        *count = static_cast<SQLSMALLINT>(stmt.result.columns.size());
        return Reply::ok();
      },
      [&](const Answer& scripted, State&, Stmt&) { put(count, scripted.number); });
}

SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT statement, SQLUSMALLINT column, SQLWCHAR* name,
                                  SQLSMALLINT nameCapacity, SQLSMALLINT* nameLength,
                                  SQLSMALLINT* sqlType, SQLULEN* size, SQLSMALLINT* digits,
                                  SQLSMALLINT* nullable) {
  return onHandle<Stmt>(
      Fn::SQLDescribeColW, statement,
      ", " + std::to_string(column) + ", " + std::to_string(nameCapacity),
      [&](State&, Stmt& stmt) {
        if (stmt.phase == Phase::Allocated) return functionSequenceError();
        if (column < 1 || column > stmt.result.columns.size()) {
          return driverError("S1002", u"Invalid column number");
        }
        if (nameCapacity < 0) return invalidLength();
        const bool cut = writeDescription(stmt.result.columns[column - 1], name, nameCapacity,
                                          nameLength, sqlType, size, digits, nullable);
        return cut ? stringTruncated() : Reply::ok();
      },
      [&](const Answer& scripted, State&, Stmt&) {
        if (scripted.column) {
          writeDescription(*scripted.column, name, nameCapacity, nameLength, sqlType, size, digits,
                           nullable);
        }
        if (scripted.text && name != nullptr) writeWide(name, nameCapacity, *scripted.text);
        if (scripted.text) put(nameLength, std::optional(scripted.text->size()));
        put(nameLength, scripted.length);
      });
}

SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT statement, SQLUSMALLINT option) {
  return onHandle<Stmt>(
      Fn::SQLFreeStmt, statement, ", " + nameOf(NameSet::FreeStatementOption, option),
      [&](State&, Stmt& stmt) {
        // SQL_CLOSE, SQL_DROP, SQL_UNBIND and SQL_RESET_PARAMS are 0 to 3.
        if (option > SQL_RESET_PARAMS) return optionOutOfRange();
        if (option == SQL_CLOSE) closeCursor(stmt);
        if (option == SQL_DROP) {
          stmt.live = false;
          std::erase(stmt.dbc->statements, &stmt);
        }
        return Reply::ok();
      });
}

}  // extern "C"
