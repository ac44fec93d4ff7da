// The fake's process-wide state, its handles and the protocol every entry point follows:
// count the call, check the handle, clear the handle's diagnostics, answer from the script or
// do the normal work, post the diagnostics and log the call.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fake_odbc.h"

namespace fakeodbc::detail {

enum class Kind { Env, Dbc, Stmt };

struct Object {
  Kind kind = Kind::Env;
  int id = 0;
  bool live = true;
  std::deque<Diag> pending;  // records for SQLErrorW, oldest first

  virtual ~Object() = default;
  std::string name() const;
};

struct Dbc;
struct Stmt;

struct Env : Object {
  static constexpr Kind ownKind = Kind::Env;
  std::vector<Dbc*> connections;  // live ones
};

struct Dbc : Object {
  static constexpr Kind ownKind = Kind::Dbc;
  Env* env = nullptr;
  bool connected = false;
  std::map<SQLUSMALLINT, SQLULEN> options;
  std::vector<Stmt*> statements;  // live ones
};

// Allocated: nothing to describe. Prepared: a text is prepared, no cursor. Open: executed,
// the cursor stands before, on or after the rows.
enum class Phase { Allocated, Prepared, Open };
enum class Position { BeforeStart, OnRowset, AfterEnd };

struct Stmt : Object {
  static constexpr Kind ownKind = Kind::Stmt;
  Dbc* dbc = nullptr;
  Phase phase = Phase::Allocated;
  bool prepared = false;  // closing the cursor goes back to Prepared rather than Allocated
  std::u16string text;
  ResultSet result;
  Position position = Position::BeforeStart;
  std::size_t firstRow = 0;                         // first row of the current rowset
  std::map<SQLUSMALLINT, std::size_t> readOffsets;  // bytes handed out per column, current row
  std::set<SQLUSMALLINT> readWhole;                 // columns read to their end, current row
  std::map<SQLUSMALLINT, SQLULEN> options;
};

// What the control interface and scripts configure.
struct Config {
  ResultSet defaultResult;
  std::map<std::u16string, ResultSet> resultsByText;
  std::optional<std::u16string> completedConnectString;
  std::map<SQLUSMALLINT, InfoValue> info;
  std::set<SQLUSMALLINT> supportedFunctions;  // SQL_API_ ids SQLGetFunctions reports

  // Scripted answers by global call index and by per-function ordinal.
  std::map<std::size_t, Answer> answersByIndex;
  std::map<Fn, std::map<std::size_t, Answer>> answersByOrdinal;
};

struct State : Config {
  std::size_t callIndex = 0;
  std::map<Fn, std::size_t> ordinals;
  int lastId[3] = {0, 0, 0};
  std::map<std::uintptr_t, std::unique_ptr<Object>> objects;
  int invalidHandleUses = 0;
  int stmtsReleasedByDisconnect = 0;

  std::vector<Call> log;
  std::FILE* logFile = nullptr;  // environment mode: every call line goes here as it happens
};

// Sets everything but the log file back to a healthy driver.
void resetState(State& state);
std::map<SQLUSMALLINT, InfoValue> healthyInfo();

// Holds the process-wide lock for its lifetime. The first session of the process reads the
// environment variables (FAKEODBC_SCRIPT, FAKEODBC_LOG) before it locks.
class Session {
 public:
  Session();
  State& state;

 private:
  std::unique_lock<std::mutex> lock_;
};

// Environment mode; defined in environment_mode.cpp and run once before the first session.
void loadEnvironment(State& state);

// Applies a script in the line format of FAKEODBC_SCRIPT (script.cpp) to the state; throws
// std::invalid_argument naming the line at fault. A malformed script changes nothing.
void applyScript(State& state, std::string_view scriptText);

SQLHANDLE handleOf(const Object& object);
Object* findObject(const State& state, SQLHANDLE handle);
std::string nameOfHandle(const State& state, SQLHANDLE handle);
Object& createObject(State& state, Kind kind);

template <class T>
T* liveObject(const State& state, SQLHANDLE handle, Kind kind) {
  Object* object = findObject(state, handle);
  if (object == nullptr || object->kind != kind || !object->live) return nullptr;
  return static_cast<T*>(object);
}

HandleBalance balanceOf(const State& state);

// What a call's own work produced.
struct Reply {
  SQLRETURN rc = SQL_SUCCESS;
  std::vector<Diag> diags;

  static Reply ok() { return {}; }
  static Reply error(std::string state, std::u16string message) {
    return {SQL_ERROR, {Diag{std::move(state), 0, std::move(message)}}};
  }
  static Reply withInfo(std::string state, std::u16string message) {
    return {SQL_SUCCESS_WITH_INFO, {Diag{std::move(state), 0, std::move(message)}}};
  }
};

// Records of the driver manager part and of the driver part.
inline Reply managerError(std::string state, std::u16string_view text) {
  return Reply::error(std::move(state), u"[unixODBC][Driver Manager]" + std::u16string(text));
}
inline Reply driverError(std::string state, std::u16string_view text) {
  return Reply::error(std::move(state), u"[FakeODBC][Driver]" + std::u16string(text));
}
inline Reply functionSequenceError() { return managerError("S1010", u"Function sequence error"); }
inline Reply invalidCursorState() { return managerError("24000", u"Invalid cursor state"); }
inline Reply connectionNotOpen() { return managerError("08003", u"Connection not open"); }
inline Reply invalidNullPointer() { return managerError("S1009", u"Invalid use of null pointer"); }
inline Reply invalidLength() { return managerError("S1090", u"Invalid string or buffer length"); }
inline Reply optionOutOfRange() { return managerError("S1092", u"Option type out of range"); }
inline Reply stringTruncated() { return Reply::withInfo("01004", messages::stringTruncated); }

// The cursor of a statement (cursor.cpp). Executed, the cursor stands before the first row;
// closed (SQLFreeStmt(SQL_CLOSE)), the statement goes back to Prepared when a text was
// prepared, else to Allocated.
void openCursor(Stmt& statement);
void closeCursor(Stmt& statement);

// The value of a statement option, its ODBC default when it was never set.
SQLULEN statementOptionValue(const Stmt& statement, SQLUSMALLINT option);

// Moves the cursor of an open statement for SQLExtendedFetch / SQLFetch with rowsets of
// rowsetSize rows. Returns SQL_SUCCESS on a rowset, SQL_NO_DATA when the move leaves the rows
// (the cursor then stands before the start or after the end), or the driver's error for an
// orientation it does not know. Any move forgets what SQLGetData read on the previous row.
Reply moveCursor(Stmt& statement, SQLUSMALLINT orientation, SQLLEN offset, std::size_t rowsetSize);

// Rows in the current rowset (0 when the cursor is not on a rowset).
std::size_t rowsInRowset(const Stmt& statement, std::size_t rowsetSize);

class Invocation {
 public:
  explicit Invocation(Fn fn);

  State& state() { return session_.state; }
  std::size_t index() const { return index_; }

  // The arguments as the log shows them; set before finish().
  std::string args;

  // Answers SQL_INVALID_HANDLE and logs the call; a scripted answer for this call is dropped.
  SQLRETURN invalidHandle();

  // Runs the protocol. target is the handle whose diagnostics the call clears and posts to
  // (null for SQLAllocEnv, and for SQLErrorW, which reads them instead). work() does the
  // normal work and returns its Reply; outputs(answer) writes a script's output values.
  template <class Work, class Outputs>
  SQLRETURN respond(Object* target, bool clearsDiagnostics, Work&& work, Outputs&& outputs) {
    if (target != nullptr && clearsDiagnostics) target->pending.clear();
    std::optional<Answer> scripted = takeAnswer();
    if (scripted && scripted->stillExecuting > 0) {
      Answer rest = *scripted;
      rest.stillExecuting -= 1;
      state().answersByOrdinal[fn_][ordinal_ + 1] = std::move(rest);
      return SQL_STILL_EXECUTING;
    }
    Reply reply;
    if (!scripted || scripted->runDefault) reply = work();
    if (scripted && (scripted->rc || !scripted->runDefault)) {
      reply.rc = scripted->rc.value_or(SQL_SUCCESS);
      reply.diags = scripted->diags;
    } else if (scripted) {
      reply.diags.insert(reply.diags.end(), scripted->diags.begin(), scripted->diags.end());
    }
    if (scripted) outputs(*scripted);
    if (target != nullptr && clearsDiagnostics) {
      for (Diag& diag : reply.diags) target->pending.push_back(std::move(diag));
    }
    return reply.rc;
  }

  // Logs the call with args and rc and returns rc.
  SQLRETURN finish(SQLRETURN rc);

 private:
  std::optional<Answer> takeAnswer();

  Session session_;
  Fn fn_;
  std::size_t index_ = 0;
  std::size_t ordinal_ = 0;
};

// A script's output writer for calls that have no output values.
struct NoOutputs {
  template <class... Args>
  void operator()(const Args&...) const {}
};
inline constexpr NoOutputs noOutputs{};

// Writes a script's output value, when it gives one, to an output the caller passed.
template <class T, class V>
void put(T* out, const std::optional<V>& value) {
  if (out != nullptr && value) *out = static_cast<T>(*value);
}

// An entry point whose first argument is a handle of type T (Env, Dbc or Stmt). The call is
// logged as the handle's name followed by argsAfter. A freed, unknown or wrong-kind handle
// answers SQL_INVALID_HANDLE; else the handle's records are cleared and the call answers from
// the script or with work(state, object), and outputs(answer, state, object) writes a
// script's output values (none when not given).
template <class T, class Work, class Outputs = NoOutputs>
SQLRETURN onHandle(Fn fn, SQLHANDLE handle, const std::string& argsAfter, Work&& work,
                   Outputs&& outputs = {}) {
  Invocation call(fn);
  State& state = call.state();
  T* object = liveObject<T>(state, handle, T::ownKind);
  call.args = nameOfHandle(state, handle) + argsAfter;
  if (object == nullptr) return call.invalidHandle();
  return call.finish(call.respond(
      object, true, [&] { return work(state, *object); },
      [&](const Answer& scripted) { outputs(scripted, state, *object); }));
}

// SQLAllocConnect and SQLAllocStmt: a Child allocated on a live Parent. refusal(parent) may
// refuse before the output pointer is checked; attach(parent, child) links the new object. The
// new handle goes to *out (a null handle when the call allocated none) and the log shows it as
// &name.
template <class Parent, class Child, class Refusal, class Attach>
SQLRETURN allocateOn(Fn fn, SQLHANDLE parentHandle, SQLHANDLE* out, Refusal&& refusal,
                     Attach&& attach) {
  Invocation call(fn);
  State& state = call.state();
  Parent* parent = liveObject<Parent>(state, parentHandle, Parent::ownKind);
  call.args = nameOfHandle(state, parentHandle) + (out ? ", &NULL" : ", NULL");
  if (parent == nullptr) return call.invalidHandle();
  if (out != nullptr) *out = nullptr;  // unless one is allocated
  const SQLRETURN rc = call.respond(
      parent, true,
      [&] {
        if (std::optional<Reply> refused = refusal(*parent)) return *refused;
        if (out == nullptr) return invalidNullPointer();
        auto& created = static_cast<Child&>(createObject(state, Child::ownKind));
        attach(*parent, created);
        *out = handleOf(created);
        return Reply::ok();
      },
      noOutputs);
  if (out != nullptr) {
    call.args = nameOfHandle(state, parentHandle) + ", &" + nameOfHandle(state, *out);
  }
  return call.finish(rc);
}

}  // namespace fakeodbc::detail
