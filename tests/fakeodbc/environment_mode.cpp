// Environment mode: a program that links the system libodbc.so.2 and is started with
// LD_LIBRARY_PATH pointing at this library is steered by FAKEODBC_SCRIPT (a script file, see
// fake_odbc.h) and reports to FAKEODBC_LOG (every call line as it happens, then the handle
// balance when the process exits).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "state.h"

namespace fakeodbc::detail {
namespace {

[[noreturn]] void giveUp(const std::string& message) {
  std::fprintf(stderr, "fakeodbc: %s\n", message.c_str());
  std::fflush(stderr);
  std::_Exit(2);
}

void writeBalanceAtExit() {
  Session session;
  std::FILE* file = session.state.logFile;
  if (file == nullptr) return;
  const HandleBalance balance = balanceOf(session.state);
  std::fprintf(file, "== handles\n%sbalanced: %s\n", balance.text().c_str(),
               balance.balanced() ? "yes" : "no");
  std::fclose(file);
  session.state.logFile = nullptr;
}

}  // namespace

void loadEnvironment(State& state) {
  if (const char* logPath = std::getenv("FAKEODBC_LOG"); logPath != nullptr && *logPath != 0) {
    state.logFile = std::fopen(logPath, "w");
    if (state.logFile == nullptr) giveUp(std::string("cannot write FAKEODBC_LOG ") + logPath);
    std::atexit(writeBalanceAtExit);
  }
  if (const char* scriptPath = std::getenv("FAKEODBC_SCRIPT");
      scriptPath != nullptr && *scriptPath != 0) {
    std::ifstream in(scriptPath, std::ios::binary);
    if (!in) giveUp(std::string("cannot read FAKEODBC_SCRIPT ") + scriptPath);
    std::ostringstream text;
    text << in.rdbuf();
    try {
      applyScript(state, text.str());
    } catch (const std::invalid_argument& error) {
      giveUp(std::string(scriptPath) + ": " + error.what());
    }
  }
}

}  // namespace fakeodbc::detail
