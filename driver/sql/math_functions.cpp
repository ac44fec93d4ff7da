// The engine's SQL math functions (sin(), pow(), ln(), ...), defined by the driver over libm
// as loaded by the driver itself. Each takes its libm function when it is first called on a
// connection; when libm cannot be had, the call fails with an SQL error that says why, and
// the host process goes on.
//
// As the engine's own: NULL when an argument is NULL or not a number, NULL for a result that
// is not a number (acos(2)), logarithms of numbers not above zero NULL, and trunc() of an
// integer that integer.
#include "functions.h"
#include "guarded.h"
#include "math_library.h"

#include <sqlite3.h>

#include <string>

namespace mdbodbc::sql {
namespace {

using Unary = double (*)(double);
using Binary = double (*)(double, double);

enum class Form {
  Unary,      // f(x)
  Binary,     // f(x, y)
  Truncate,   // trunc(x): an integer stays as it is
  Logarithm,  // f(x), NULL for x <= 0
  LogBase,    // log(b, x) = ln(x) / ln(b), NULL for b or x <= 0
};

struct MathFunction {
  const char* sqlName;
  const char* libmName;
  Form form;
};

constexpr MathFunction kFunctions[] = {
    {"acos", "acos", Form::Unary},    {"acosh", "acosh", Form::Unary}, {"asin", "asin", Form::Unary},
    {"asinh", "asinh", Form::Unary},  {"atan", "atan", Form::Unary},   {"atanh", "atanh", Form::Unary},
    {"cos", "cos", Form::Unary},      {"cosh", "cosh", Form::Unary},   {"exp", "exp", Form::Unary},
    {"sin", "sin", Form::Unary},      {"sinh", "sinh", Form::Unary},   {"sqrt", "sqrt", Form::Unary},
    {"tan", "tan", Form::Unary},      {"tanh", "tanh", Form::Unary},   {"atan2", "atan2", Form::Binary},
    {"pow", "pow", Form::Binary},     {"power", "pow", Form::Binary},  {"mod", "fmod", Form::Binary},
    {"trunc", "trunc", Form::Truncate}, {"ln", "log", Form::Logarithm}, {"log", "log10", Form::Logarithm},
    {"log10", "log10", Form::Logarithm}, {"log2", "log2", Form::Logarithm}, {"log", "log", Form::LogBase},
};

int Arity(Form form) { return form == Form::Binary || form == Form::LogBase ? 2 : 1; }

// What one registration of a function knows: the libm function once found, kept for the
// connection's later calls (a connection's calls run one at a time).
struct Registered {
  const MathFunction* function;
  const LoadedLibrary* library;
  void* found = nullptr;
};

bool IsNumber(sqlite3_value* value) {
  int type = sqlite3_value_numeric_type(value);
  return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

void Compute(sqlite3_context* context, int argc, sqlite3_value** argv) {
  auto* registered = static_cast<Registered*>(sqlite3_user_data(context));
  const MathFunction& f = *registered->function;
  for (int i = 0; i < argc; ++i) {
    if (!IsNumber(argv[i])) return;  // NULL
  }
  if (f.form == Form::Truncate && sqlite3_value_type(argv[0]) == SQLITE_INTEGER) {
    sqlite3_result_value(context, argv[0]);
    return;
  }
  if (registered->found == nullptr) {
    std::string problem;
    registered->found = registered->library->Find<void*>(f.libmName, problem);
    if (registered->found == nullptr) {
      std::string message = std::string(f.sqlName) + "() cannot be computed: " + problem;
      sqlite3_result_error(context, message.c_str(), static_cast<int>(message.size()));
      return;
    }
  }
  void* found = registered->found;
  const double x = sqlite3_value_double(argv[0]);
  switch (f.form) {
    case Form::Unary:
    case Form::Truncate: sqlite3_result_double(context, reinterpret_cast<Unary>(found)(x)); return;
    case Form::Binary:
      sqlite3_result_double(context, reinterpret_cast<Binary>(found)(x, sqlite3_value_double(argv[1])));
      return;
    case Form::Logarithm:
      if (x > 0) sqlite3_result_double(context, reinterpret_cast<Unary>(found)(x));
      return;
    case Form::LogBase: {
      const double value = sqlite3_value_double(argv[1]);
      if (x <= 0 || value <= 0) return;
      const auto ln = reinterpret_cast<Unary>(found);
      sqlite3_result_double(context, ln(value) / ln(x));
      return;
    }
  }
}

}  // namespace

bool RegisterMathFunctions(sqlite3* db, const LoadedLibrary& library) {
  for (const MathFunction& f : kFunctions) {
    // The engine owns the entry from here: it deletes it when the function goes, or at once
    // when the registration fails.
    auto* entry = new Registered{&f, &library};
    int rc = sqlite3_create_function_v2(db, f.sqlName, Arity(f.form), SQLITE_UTF8 | SQLITE_DETERMINISTIC, entry,
                                        Guarded<Compute>, nullptr, nullptr,
                                        [](void* p) { delete static_cast<Registered*>(p); });
    if (rc != SQLITE_OK) return false;
  }
  return true;
}

bool RegisterMathFunctions(sqlite3* db) { return RegisterMathFunctions(db, MathLibrary()); }

}  // namespace mdbodbc::sql
