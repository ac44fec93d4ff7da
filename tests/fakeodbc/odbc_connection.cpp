// Entry points of the environment and the connection: allocation, options, connecting,
// information queries, supported functions, disconnecting and freeing.
#include <algorithm>
#include <cstring>

#include "state.h"
#include "text.h"

using namespace fakeodbc;
using namespace fakeodbc::detail;

namespace {

// Writes an integer answer of SQLGetInfoW in the width of its kind.
void writeInfoNumber(SQLPOINTER value, SQLSMALLINT* length, bool sixteenBits,
                     std::uint32_t number) {
  const SQLUSMALLINT narrow = static_cast<SQLUSMALLINT>(number);
  const SQLSMALLINT width = sixteenBits ? sizeof narrow : sizeof number;
  const void* bytes = sixteenBits ? static_cast<const void*>(&narrow) : &number;
  if (value != nullptr) std::memcpy(value, bytes, static_cast<std::size_t>(width));
  if (length != nullptr) *length = width;
}

// Writes a text answer of SQLGetInfoW into a buffer of `bufferBytes`; true when cut.
bool writeInfoText(SQLPOINTER value, SQLSMALLINT bufferBytes, SQLSMALLINT* length,
                   std::u16string_view text) {
  if (length != nullptr) *length = static_cast<SQLSMALLINT>(text.size() * sizeof(char16_t));
  if (value == nullptr) return false;
  return writeWide(static_cast<SQLWCHAR*>(value), bufferBytes / 2, text);
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLAllocEnv(SQLHENV* environment) {
  Invocation call(Fn::SQLAllocEnv);
  State& state = call.state();
  if (environment != nullptr) *environment = SQL_NULL_HENV;  // unless one is allocated
  const SQLRETURN rc = call.respond(
      nullptr, false,
      [&] {
        if (environment == nullptr) return Reply{SQL_ERROR, {}};
        *environment = handleOf(createObject(state, Kind::Env));
        return Reply::ok();
      },
      noOutputs);
  call.args = environment == nullptr ? "NULL" : "&" + nameOfHandle(state, *environment);
  return call.finish(rc);
}

SQLRETURN SQL_API SQLAllocConnect(SQLHENV environment, SQLHDBC* connection) {
  return allocateOn<Env, Dbc>(
      Fn::SQLAllocConnect, environment, connection, [](Env&) { return std::optional<Reply>(); },
      [](Env& env, Dbc& created) {
        created.env = &env;
        env.connections.push_back(&created);
      });
}

SQLRETURN SQL_API SQLSetConnectOptionW(SQLHDBC connection, SQLUSMALLINT option, SQLULEN value) {
  const bool isText = option == SQL_OPT_TRACEFILE || option == SQL_TRANSLATE_DLL ||
                      option == SQL_CURRENT_QUALIFIER;
  // Statement options set on a connection are named as statement options.
  const std::string shownOption =
      nameOf(option < SQL_ACCESS_MODE ? NameSet::StatementOption : NameSet::ConnectOption, option);
  const std::string shownValue =
      isText ? quoted(readWide(reinterpret_cast<const SQLWCHAR*>(value), SQL_NTS))
             : std::to_string(value);
  return onHandle<Dbc>(
      Fn::SQLSetConnectOptionW, connection, ", " + shownOption + ", " + shownValue,
      [&](State&, Dbc& dbc) {
        if (option > SQL_USE_BOOKMARKS && (option < SQL_ACCESS_MODE || option > SQL_PACKET_SIZE)) {
          return optionOutOfRange();
        }
        if (option == SQL_ODBC_CURSORS && dbc.connected) {
          return managerError("S1011", u"Operation invalid at this time");
        }
        dbc.options[option] = isText ? 0 : value;
        return Reply::ok();
      });
}

SQLRETURN SQL_API SQLDriverConnectW(SQLHDBC connection, SQLHWND window, SQLWCHAR* connectIn,
                                    SQLSMALLINT connectInLength, SQLWCHAR* connectOut,
                                    SQLSMALLINT connectOutCapacity, SQLSMALLINT* connectOutLength,
                                    SQLUSMALLINT completion) {
  const std::u16string input = readWide(connectIn, connectInLength);
  auto writeOut = [&](std::u16string_view text) {
    if (connectOutLength != nullptr) *connectOutLength = static_cast<SQLSMALLINT>(text.size());
    return connectOut != nullptr && writeWide(connectOut, connectOutCapacity, text);
  };
  return onHandle<Dbc>(
      Fn::SQLDriverConnectW, connection,
      std::string(", ") + (window ? "hwnd" : "NULL") + ", " + (connectIn ? quoted(input) : "NULL") +
          ", " + lengthName(connectInLength) + ", " + std::to_string(connectOutCapacity) + ", " +
          nameOf(NameSet::DriverCompletion, completion),
      [&](State& state, Dbc& dbc) {
        if (dbc.connected) return Reply::error("08002", messages::connectionInUse);
        if (connectIn == nullptr) return invalidNullPointer();
        if ((connectInLength < 0 && connectInLength != SQL_NTS) || connectOutCapacity < 0) {
          return invalidLength();
        }
        if (completion > SQL_DRIVER_COMPLETE_REQUIRED) {
          return managerError("S1110", u"Invalid driver completion");
        }
        dbc.connected = true;
        const bool cut = writeOut(state.completedConnectString.value_or(input));
        return cut ? stringTruncated() : Reply::ok();
      },
      [&](const Answer& scripted, State&, Dbc&) {
        if (scripted.text) writeOut(*scripted.text);
        put(connectOutLength, scripted.length);
      });
}

SQLRETURN SQL_API SQLGetInfoW(SQLHDBC connection, SQLUSMALLINT infoType, SQLPOINTER value,
                              SQLSMALLINT bufferBytes, SQLSMALLINT* length) {
  return onHandle<Dbc>(
      Fn::SQLGetInfoW, connection,
      ", " + nameOf(NameSet::InfoType, infoType) + ", " + std::to_string(bufferBytes),
      [&](State& state, Dbc& dbc) {
        if (!dbc.connected) return connectionNotOpen();
        const auto entry = state.info.find(infoType);
        if (entry == state.info.end()) {
          return managerError("S1096", u"Information type out of range");
        }
        if (bufferBytes < 0) return invalidLength();
        const InfoValue& answer = entry->second;
        if (answer.kind == InfoValue::Kind::Text) {
          return writeInfoText(value, bufferBytes, length, answer.text) ? stringTruncated()
                                                                        : Reply::ok();
        }
        writeInfoNumber(value, length, answer.kind == InfoValue::Kind::Int16, answer.number);
        return Reply::ok();
      },
      [&](const Answer& scripted, State& state, Dbc&) {
        if (scripted.text) writeInfoText(value, bufferBytes, length, *scripted.text);
        if (scripted.number) {
          const auto entry = state.info.find(infoType);
          const bool sixteenBits = entry != state.info.end()
                                       ? entry->second.kind == InfoValue::Kind::Int16
                                       : bufferBytes == 2;
          writeInfoNumber(value, length, sixteenBits, static_cast<std::uint32_t>(*scripted.number));
        }
        put(length, scripted.length);
      });
}

SQLRETURN SQL_API SQLGetFunctions(SQLHDBC connection, SQLUSMALLINT functionId,
                                  SQLUSMALLINT* supported) {
  return onHandle<Dbc>(
      Fn::SQLGetFunctions, connection, ", " + nameOf(NameSet::ApiFunction, functionId),
      [&](State& state, Dbc& dbc) {
        if (!dbc.connected) return functionSequenceError();
        if (supported == nullptr) return invalidNullPointer();
        const auto& ids = state.supportedFunctions;
        if (functionId == SQL_API_ALL_FUNCTIONS) {
          for (SQLUSMALLINT id = 0; id < 100; ++id) {
            supported[id] = ids.count(id) ? SQL_TRUE : SQL_FALSE;
          }
        } else if (functionId == SQL_API_ODBC3_ALL_FUNCTIONS) {
          std::fill(supported, supported + SQL_API_ODBC3_ALL_FUNCTIONS_SIZE, 0);
          for (const SQLUSMALLINT id : ids) {
            if (id < SQL_API_ODBC3_ALL_FUNCTIONS_SIZE * 16) {
              supported[id >> 4] =
                  static_cast<SQLUSMALLINT>(supported[id >> 4] | (1u << (id & 0xF)));
            }
          }
        } else {
          *supported = ids.count(functionId) ? SQL_TRUE : SQL_FALSE;
        }
        return Reply::ok();
      },
      [&](const Answer& scripted, State&, Dbc&) { put(supported, scripted.number); });
}

SQLRETURN SQL_API SQLDisconnect(SQLHDBC connection) {
  return onHandle<Dbc>(Fn::SQLDisconnect, connection, "", [&](State& state, Dbc& dbc) {
    if (!dbc.connected) return connectionNotOpen();
    // Like the driver manager, drop the statements nobody dropped.
    for (Stmt* statement : dbc.statements) {
      statement->live = false;
      ++state.stmtsReleasedByDisconnect;
    }
    dbc.statements.clear();
    dbc.connected = false;
    return Reply::ok();
  });
}

SQLRETURN SQL_API SQLFreeConnect(SQLHDBC connection) {
  return onHandle<Dbc>(Fn::SQLFreeConnect, connection, "", [&](State&, Dbc& dbc) {
    if (dbc.connected) return functionSequenceError();
    dbc.live = false;
    std::erase(dbc.env->connections, &dbc);
    return Reply::ok();
  });
}

SQLRETURN SQL_API SQLFreeEnv(SQLHENV environment) {
  return onHandle<Env>(Fn::SQLFreeEnv, environment, "", [&](State&, Env& env) {
    if (!env.connections.empty()) return functionSequenceError();
    env.live = false;
    return Reply::ok();
  });
}

}  // extern "C"
