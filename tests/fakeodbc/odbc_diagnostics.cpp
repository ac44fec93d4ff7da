// SQLErrorW: hands out the pending diagnostic records of a statement, else of a connection,
// else of an environment, one per call, and consumes them.
#include <algorithm>

#include "state.h"
#include "text.h"

using namespace fakeodbc;
using namespace fakeodbc::detail;

namespace {

// Writes one record to the outputs of SQLErrorW; true when the message had to be cut. Without
// terminators (as a faulty driver writes them) each text fills as much of its buffer as it has
// characters, and the length is left alone.
bool writeRecord(const Diag& record, bool terminated, SQLWCHAR* state, SQLINTEGER* native,
                 SQLWCHAR* message, SQLSMALLINT capacity, SQLSMALLINT* length) {
  auto write = [&](SQLWCHAR* buffer, long long room, std::u16string_view text) {
    if (buffer == nullptr) return false;
    if (terminated) return writeWide(buffer, room, text);
    if (room > 0) std::copy_n(text.begin(), std::min<std::size_t>(room, text.size()), buffer);
    return false;
  };
  write(state, 6, std::u16string_view(fromUtf8(record.state)).substr(0, terminated ? 5 : 6));
  if (native != nullptr) *native = record.native;
  if (terminated && length != nullptr) *length = static_cast<SQLSMALLINT>(record.message.size());
  return write(message, capacity, record.message);
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLErrorW(SQLHENV environment, SQLHDBC connection, SQLHSTMT statement,
                            SQLWCHAR* sqlState, SQLINTEGER* nativeError, SQLWCHAR* message,
                            SQLSMALLINT capacity, SQLSMALLINT* messageLength) {
  Invocation call(Fn::SQLErrorW);
  State& state = call.state();
  call.args = nameOfHandle(state, environment) + ", " + nameOfHandle(state, connection) + ", " +
              nameOfHandle(state, statement) + ", " + std::to_string(capacity);
  // Like the driver manager: the statement's records when a statement is given, else the
  // connection's, else the environment's.
  Object* source = statement     ? liveObject<Object>(state, statement, Kind::Stmt)
                   : connection  ? liveObject<Object>(state, connection, Kind::Dbc)
                   : environment ? liveObject<Object>(state, environment, Kind::Env)
                                 : nullptr;
  if (source == nullptr) return call.invalidHandle();
  const SQLRETURN rc = call.respond(
      source, false,
      [&] {
        if (capacity < 0) return Reply{SQL_ERROR, {}};
        if (source->pending.empty()) return Reply{SQL_NO_DATA, {}};
        const Diag record = source->pending.front();
        source->pending.pop_front();
        const bool cut =
            writeRecord(record, true, sqlState, nativeError, message, capacity, messageLength);
        return Reply{static_cast<SQLRETURN>(cut ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS), {}};
      },
      [&](const Answer& scripted) {
        if (!scripted.diags.empty()) {
          writeRecord(scripted.diags.front(), !scripted.unterminated, sqlState, nativeError,
                      message, capacity, messageLength);
        }
        put(messageLength, scripted.length);
      });
  return call.finish(rc);
}

}  // extern "C"
