// The driver's SQL math functions: over libm they answer as the engine's own functions do, and
// without it each call fails with an SQL error that says why, instead of stopping the process.
#include "driver/loaded_library.h"
#include "driver/sql/functions.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>

namespace {

struct Closer {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Database = std::unique_ptr<sqlite3, Closer>;

Database Open() {
  sqlite3* db = nullptr;
  EXPECT_EQ(sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), SQLITE_OK);
  return Database(db);
}

// The first value of `expression` as text with its type, or "error: <message>".
std::string Evaluate(sqlite3* db, const std::string& expression) {
  sqlite3_stmt* stmt = nullptr;
  std::string text = "SELECT " + expression;
  if (sqlite3_prepare_v2(db, text.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
    return "prepare: " + std::string(sqlite3_errmsg(db));
  }
  std::string answer;
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    answer = std::to_string(sqlite3_column_type(stmt, 0)) + ":" + (value != nullptr ? value : "NULL");
  } else {
    answer = "error: " + std::string(sqlite3_errmsg(db));
  }
  sqlite3_finalize(stmt);
  return answer;
}

constexpr const char* kExpressions[] = {
    "acos(0.5)", "acosh(2)",   "asin(1)",      "asinh(1)",    "atan(1)",    "atanh(0.5)", "cos(0)",
    "cosh(1)",   "exp(1)",     "sin(2)",       "sinh(1)",     "sqrt(16)",   "sqrt('2')",  "tan(1)",
    "tanh(1)",   "atan2(1, 2)", "pow(2, 10)",  "power(2, .5)", "mod(7, 3)", "mod(-7.5, 2)", "trunc(-2.5)",
    "trunc(7)",  "ln(10)",     "ln(0)",        "log(1000)",   "log(-1)",    "log10(5)",   "log2(8)",
    "log(2, 8)", "log(0, 8)",  "acos(2)",      "sqrt(-1)",    "sin(NULL)",  "pow(2, NULL)", "cos('abc')",
};

TEST(MathFunctionsTest, OverLibmTheyAnswerAsTheEnginesOwn) {
  const mdbodbc::LoadedLibrary libm("libm.so.6");
  Database engines = Open();
  Database drivers = Open();
  ASSERT_TRUE(mdbodbc::sql::RegisterMathFunctions(drivers.get(), libm));
  ASSERT_NE(Evaluate(engines.get(), "sin(0)").rfind("error", 0), 0u) << "the engine has no math functions";
  for (const char* expression : kExpressions) {
    EXPECT_EQ(Evaluate(drivers.get(), expression), Evaluate(engines.get(), expression)) << expression;
  }
}

TEST(MathFunctionsTest, WithoutLibmEachCallIsAnErrorThatSaysWhy) {
  const mdbodbc::LoadedLibrary missing("libno-such-math.so.6");
  Database db = Open();
  ASSERT_TRUE(mdbodbc::sql::RegisterMathFunctions(db.get(), missing));
  for (const char* expression : kExpressions) {
    std::string answer = Evaluate(db.get(), expression);
    // A NULL or non-numeric argument, and trunc() of an integer, need no libm.
    const std::string text = expression;
    const bool needsLibm = text.find("NULL") == std::string::npos && text.find("abc") == std::string::npos &&
                           text != "trunc(7)";
    if (needsLibm) {
      const std::string name = text.substr(0, text.find('('));
      EXPECT_EQ(answer.rfind("error: " + name + "() cannot be computed: ", 0), 0u) << answer;
      EXPECT_NE(answer.find("libno-such-math.so.6"), std::string::npos) << answer;
    } else {
      EXPECT_EQ(answer.rfind("error", 0), std::string::npos) << expression << ": " << answer;
    }
  }
}

}  // namespace
