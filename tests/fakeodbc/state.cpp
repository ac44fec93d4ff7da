#include "state.h"

#include "text.h"

namespace fakeodbc::detail {
namespace {

constexpr std::uintptr_t handleBase[3] = {0x10000000u, 0x20000000u, 0x30000000u};
constexpr std::uintptr_t handleStep = 0x10;
const char* const kindNames[3] = {"env", "dbc", "stmt"};

std::mutex& stateMutex() {
  static std::mutex* mutex = new std::mutex;  // never destroyed: calls may come during exit
  return *mutex;
}

State& theState() {
  static State* state = [] {
    auto* created = new State;  // never destroyed, for the same reason
    resetState(*created);
    return created;
  }();
  return *state;
}

std::once_flag environmentOnce;

}  // namespace

std::string Object::name() const {
  return std::string(kindNames[static_cast<int>(kind)]) + "#" + std::to_string(id);
}

std::map<SQLUSMALLINT, InfoValue> healthyInfo() {
  return {
      {SQL_ODBC_API_CONFORMANCE, InfoValue::int16(SQL_OAC_LEVEL1)},
      {SQL_ODBC_SQL_CONFORMANCE, InfoValue::int16(SQL_OSC_CORE)},
      {SQL_POS_OPERATIONS, InfoValue::int32(SQL_POS_POSITION | SQL_POS_REFRESH | SQL_POS_UPDATE |
                                            SQL_POS_DELETE | SQL_POS_ADD)},
      {SQL_POSITIONED_STATEMENTS, InfoValue::int32(0)},
      {SQL_TXN_CAPABLE, InfoValue::int16(SQL_TC_ALL)},
      {SQL_CURSOR_COMMIT_BEHAVIOR, InfoValue::int16(SQL_CB_PRESERVE)},
      {SQL_CURSOR_ROLLBACK_BEHAVIOR, InfoValue::int16(SQL_CB_PRESERVE)},
      {SQL_BOOKMARK_PERSISTENCE, InfoValue::int32(SQL_BP_SCROLL)},
      {SQL_GETDATA_EXTENSIONS,
       InfoValue::int32(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER | SQL_GD_BOUND)},
      {SQL_DATA_SOURCE_READ_ONLY, InfoValue::string(u"N")},
      {SQL_IDENTIFIER_QUOTE_CHAR, InfoValue::string(u"\"")},
      {SQL_DBMS_NAME, InfoValue::string(u"FakeDB")},
      {SQL_DBMS_VER, InfoValue::string(u"01.00.0000")},
      {SQL_ODBC_VER, InfoValue::string(u"03.80.0000")},
      {SQL_DRIVER_ODBC_VER, InfoValue::string(u"03.80")},
      {SQL_DRIVER_NAME, InfoValue::string(u"libfakeodbc.so")},
      {SQL_DATA_SOURCE_NAME, InfoValue::string(u"")},
      {SQL_SCROLL_OPTIONS, InfoValue::int32(SQL_SO_FORWARD_ONLY | SQL_SO_STATIC)},
      {SQL_SCROLL_CONCURRENCY, InfoValue::int32(SQL_SCCO_READ_ONLY | SQL_SCCO_LOCK)},
      {SQL_LOCK_TYPES, InfoValue::int32(SQL_LCK_NO_CHANGE | SQL_LCK_EXCLUSIVE | SQL_LCK_UNLOCK)},
      {SQL_FETCH_DIRECTION,
       InfoValue::int32(SQL_FD_FETCH_NEXT | SQL_FD_FETCH_FIRST | SQL_FD_FETCH_LAST |
                        SQL_FD_FETCH_PRIOR | SQL_FD_FETCH_ABSOLUTE | SQL_FD_FETCH_RELATIVE)},
      {SQL_STATIC_CURSOR_ATTRIBUTES1,
       InfoValue::int32(SQL_CA1_NEXT | SQL_CA1_ABSOLUTE | SQL_CA1_RELATIVE)},
      {SQL_ACTIVE_STATEMENTS, InfoValue::int16(0)},
      {SQL_MAX_COLUMN_NAME_LEN, InfoValue::int16(64)},
  };
}

void resetState(State& state) {
  std::FILE* logFile = state.logFile;
  state = State{};
  state.logFile = logFile;
  state.defaultResult = healthyResult();
  state.info = healthyInfo();
  for (const SQLUSMALLINT id : knownApiFunctions()) state.supportedFunctions.insert(id);
}

Session::Session() : state(theState()) {
  std::call_once(environmentOnce, [this] {
    std::lock_guard<std::mutex> guard(stateMutex());
    loadEnvironment(state);
  });
  lock_ = std::unique_lock<std::mutex>(stateMutex());
}

SQLHANDLE handleOf(const Object& object) {
  const auto kind = static_cast<std::size_t>(object.kind);
  return reinterpret_cast<SQLHANDLE>(handleBase[kind] +
                                     static_cast<std::uintptr_t>(object.id) * handleStep);
}

Object* findObject(const State& state, SQLHANDLE handle) {
  const auto found = state.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return found == state.objects.end() ? nullptr : found->second.get();
}

std::string nameOfHandle(const State& state, SQLHANDLE handle) {
  if (handle == nullptr) return "NULL";
  const Object* object = findObject(state, handle);
  return object == nullptr ? "unknown" : object->name();
}

Object& createObject(State& state, Kind kind) {
  std::unique_ptr<Object> object = kind == Kind::Env   ? std::unique_ptr<Object>(new Env)
                                   : kind == Kind::Dbc ? std::unique_ptr<Object>(new Dbc)
                                                       : std::unique_ptr<Object>(new Stmt);
  object->kind = kind;
  object->id = ++state.lastId[static_cast<int>(kind)];
  const auto key = reinterpret_cast<std::uintptr_t>(handleOf(*object));
  Object& created = *object;
  state.objects[key] = std::move(object);
  return created;
}

HandleBalance balanceOf(const State& state) {
  HandleBalance balance;
  for (const auto& [key, object] : state.objects) {
    HandleCount& count = object->kind == Kind::Env   ? balance.env
                         : object->kind == Kind::Dbc ? balance.dbc
                                                     : balance.stmt;
    ++count.allocated;
    if (object->live) {
      ++count.live;
      balance.liveHandles.push_back(object->name());
    }
  }
  balance.stmt.freed = balance.stmt.allocated - balance.stmt.live - state.stmtsReleasedByDisconnect;
  balance.dbc.freed = balance.dbc.allocated - balance.dbc.live;
  balance.env.freed = balance.env.allocated - balance.env.live;
  balance.stmtsReleasedByDisconnect = state.stmtsReleasedByDisconnect;
  balance.invalidHandleUses = state.invalidHandleUses;
  return balance;
}

Invocation::Invocation(Fn fn) : fn_(fn) {
  State& s = session_.state;
  index_ = ++s.callIndex;
  ordinal_ = ++s.ordinals[fn];
}

std::optional<Answer> Invocation::takeAnswer() {
  State& s = state();
  std::optional<Answer> scripted;
  if (auto found = s.answersByIndex.find(index_); found != s.answersByIndex.end()) {
    scripted = std::move(found->second);
    s.answersByIndex.erase(found);
  }
  auto& byOrdinal = s.answersByOrdinal[fn_];
  if (auto found = byOrdinal.find(ordinal_); found != byOrdinal.end()) {
    if (!scripted) scripted = std::move(found->second);
    byOrdinal.erase(found);
  }
  return scripted;
}

SQLRETURN Invocation::invalidHandle() {
  takeAnswer();
  ++state().invalidHandleUses;
  return finish(SQL_INVALID_HANDLE);
}

SQLRETURN Invocation::finish(SQLRETURN rc) {
  State& s = state();
  Call call{index_, fn_, args, rc};
  if (s.logFile != nullptr) {
    std::fprintf(s.logFile, "%s\n", call.line().c_str());
    std::fflush(s.logFile);
  }
  s.log.push_back(std::move(call));
  return rc;
}

}  // namespace fakeodbc::detail
