// The control interface of fake_odbc.h: configuration, scripted answers and observation.
#include <stdexcept>

#include "state.h"
#include "text.h"

namespace fakeodbc {
namespace {

using detail::Session;

const char* const functionNames[] = {
    "SQLAllocEnv",      "SQLAllocConnect",  "SQLSetConnectOptionW", "SQLDriverConnectW",
    "SQLGetInfoW",      "SQLAllocStmt",     "SQLNumResultCols",     "SQLErrorW",
    "SQLSetStmtOption", "SQLGetStmtOption", "SQLGetFunctions",      "SQLPrepareW",
    "SQLExecDirectW",   "SQLExecute",       "SQLDescribeColW",      "SQLExtendedFetch",
    "SQLFetch",         "SQLGetData",       "SQLFreeStmt",          "SQLDisconnect",
    "SQLFreeConnect",   "SQLFreeEnv",
};
constexpr int functionCount = static_cast<int>(std::size(functionNames));
static_assert(functionCount == static_cast<int>(Fn::SQLFreeEnv) + 1);

void checkResult(const ResultSet& result) {
  for (const Row& row : result.rows) {
    if (row.size() != result.columns.size()) {
      throw std::invalid_argument("fakeodbc: a row has " + std::to_string(row.size()) +
                                  " cells for " + std::to_string(result.columns.size()) +
                                  " columns");
    }
  }
}

// Runs f on the state under the process-wide lock.
template <class F>
auto locked(F&& f) {
  Session session;
  return f(session.state);
}

}  // namespace

const char* functionName(Fn fn) { return functionNames[static_cast<int>(fn)]; }

std::optional<Fn> functionByName(std::string_view name) {
  for (int i = 0; i < functionCount; ++i) {
    if (name == functionNames[i]) return static_cast<Fn>(i);
  }
  return std::nullopt;
}

ResultSet healthyResult() {
  return {{Column{u"marque", SQL_WVARCHAR, 50, 0, SQL_NULLABLE}},
          {{u"Airbus"}, {u"Boeing"}, {u"Cessna"}, {u"Dassault"}}};
}

Answer Answer::fail(SQLRETURN rc, std::vector<Diag> diags) {
  Answer answer;
  answer.rc = rc;
  answer.diags = std::move(diags);
  return answer;
}

Answer Answer::withInfo(std::vector<Diag> diags) {
  Answer answer = fail(SQL_SUCCESS_WITH_INFO, std::move(diags));
  answer.runDefault = true;
  return answer;
}

Answer Answer::still(int times) {
  Answer answer;
  answer.runDefault = true;
  answer.stillExecuting = times;
  return answer;
}

void reset() {
  locked([&](detail::State& state) { detail::resetState(state); });
}

void setResult(ResultSet result) {
  checkResult(result);
  locked([&](detail::State& state) { state.defaultResult = std::move(result); });
}

void setResultFor(std::u16string statementText, ResultSet result) {
  checkResult(result);
  locked([&](detail::State& state) { state.resultsByText[statementText] = std::move(result); });
}

void setCompletedConnectString(std::u16string text) {
  locked([&](detail::State& state) { state.completedConnectString = std::move(text); });
}

void setInfo(SQLUSMALLINT infoType, InfoValue value) {
  locked([&](detail::State& state) { state.info[infoType] = std::move(value); });
}

void removeInfo(SQLUSMALLINT infoType) {
  locked([&](detail::State& state) { state.info.erase(infoType); });
}

void setFunctionSupported(SQLUSMALLINT apiId, bool supported) {
  Session session;
  if (supported) session.state.supportedFunctions.insert(apiId);
  if (!supported) session.state.supportedFunctions.erase(apiId);
}

void answer(Fn fn, int nth, Answer scripted) {
  if (nth < 1) throw std::invalid_argument("fakeodbc::answer: nth counts from 1");
  locked([&](detail::State& state) {
    state.answersByOrdinal[fn][state.ordinals[fn] + static_cast<std::size_t>(nth)] = scripted;
  });
}

void answerCall(std::size_t index, Answer scripted) {
  if (index < 1) throw std::invalid_argument("fakeodbc::answerCall: calls count from 1");
  locked([&](detail::State& state) { state.answersByIndex[index] = std::move(scripted); });
}

void failCall(std::size_t index, SQLRETURN rc, Diag diag) {
  answerCall(index, Answer::fail(rc, {std::move(diag)}));
}

void loadScript(std::string_view scriptText) {
  locked([&](detail::State& state) { detail::applyScript(state, scriptText); });
}

std::string Call::line() const {
  return std::string(functionName(fn)) + "(" + args + ") -> " + returnCodeName(rc);
}

std::vector<Call> calls() {
  return locked([&](detail::State& state) { return state.log; });
}

// One text per logged call, in order.
std::vector<std::string> eachCall(std::string (Call::*show)() const) {
  std::vector<std::string> texts;
  for (const Call& call : calls()) texts.push_back((call.*show)());
  return texts;
}

std::vector<std::string> callNames() { return eachCall(&Call::name); }

std::vector<std::string> callLines() { return eachCall(&Call::line); }

std::string logText() {
  std::string text;
  for (const std::string& line : callLines()) text += line + "\n";
  return text;
}

std::size_t callCount() {
  return locked([&](detail::State& state) { return state.callIndex; });
}

void clearLog() {
  locked([&](detail::State& state) { state.log.clear(); });
}

bool HandleBalance::balanced() const {
  return env.live == 0 && dbc.live == 0 && stmt.live == 0 && stmtsReleasedByDisconnect == 0 &&
         invalidHandleUses == 0;
}

std::string HandleBalance::text() const {
  auto counts = [](const char* kind, const HandleCount& count) {
    return std::string(kind) + " allocated=" + std::to_string(count.allocated) +
           " freed=" + std::to_string(count.freed) + " live=" + std::to_string(count.live);
  };
  std::string text = counts("env", env) + "\n" + counts("dbc", dbc) + "\n" + counts("stmt", stmt) +
                     " released-by-disconnect=" + std::to_string(stmtsReleasedByDisconnect) + "\n" +
                     "invalid-handle-uses=" + std::to_string(invalidHandleUses) + "\nlive:";
  if (liveHandles.empty()) text += " -";
  for (const std::string& name : liveHandles) text += " " + name;
  return text + "\n";
}

HandleBalance handleBalance() {
  return locked([&](detail::State& state) { return detail::balanceOf(state); });
}

std::string handleName(SQLHANDLE handle) {
  return locked([&](detail::State& state) { return detail::nameOfHandle(state, handle); });
}

std::vector<Diag> pendingDiags(SQLHANDLE handle) {
  Session session;
  const detail::Object* object = detail::findObject(session.state, handle);
  if (object == nullptr) return {};
  return {object->pending.begin(), object->pending.end()};
}

std::optional<SQLULEN> statementOption(SQLHSTMT statement, SQLUSMALLINT option) {
  Session session;
  const auto* stmt = detail::liveObject<detail::Stmt>(session.state, statement, detail::Kind::Stmt);
  if (stmt == nullptr) return std::nullopt;
  return detail::statementOptionValue(*stmt, option);
}

std::optional<SQLULEN> connectionOption(SQLHDBC connection, SQLUSMALLINT option) {
  Session session;
  const auto* dbc = detail::liveObject<detail::Dbc>(session.state, connection, detail::Kind::Dbc);
  if (dbc == nullptr) return std::nullopt;
  const auto found = dbc->options.find(option);
  if (found == dbc->options.end()) return std::nullopt;
  return found->second;
}

std::string returnCodeName(SQLRETURN rc) { return detail::nameOf(detail::NameSet::ReturnCode, rc); }

}  // namespace fakeodbc
