// Access's operators and conversions as engine functions, and the aggregates the engine lacks:
// exact Currency and Decimal arithmetic, division that fails on zero, & that treats Null as
// empty text, First/Last, StDev and Var.
#include "engine.h"
#include "function_library.h"
#include "functions.h"
#include "guarded.h"
#include "runtime.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace mdbodbc::sql {
namespace {

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

void DivisionByZero(sqlite3_context* context) { Raise(context, {"22012", "division by zero"}); }
void OutOfRange(sqlite3_context* context, const std::string& what) {
  Raise(context, {"22003", what + " (numeric value out of range)"});
}

std::string_view TextOf(sqlite3_value* value) {
  return ValueBytes(value);
}

// jet_cast(value, from, to): Access's conversion, the implicit one of operators and
// comparisons, which keeps a Null.
void Cast(sqlite3_context* context, int, sqlite3_value** argv) {
  Type from = ArgumentType(argv[1]);
  Type to = ArgumentType(argv[2]);
  ResultAs(context, ReadVariant(argv[0], from), to);
}

// jet_convert(value, from, to): CBool, CByte, CInt, CLng, CSng, CDbl, CCur, CDec, CDate, CStr,
// which refuse a Null ("invalid use of Null").
void Convert(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    Type to = ArgumentType(argv[2]);
    return Raise(context, {"22004", "invalid use of Null: the conversion to " + TypeName(to) + " takes a value, not Null"});
  }
  Cast(context, argc, argv);
}

// a & b: Null is empty text, unless both are Null.
void Concatenate(sqlite3_context* context, int, sqlite3_value** argv) {
  bool nullA = sqlite3_value_type(argv[0]) == SQLITE_NULL;
  bool nullB = sqlite3_value_type(argv[1]) == SQLITE_NULL;
  if (nullA && nullB) return;
  std::string_view a = nullA ? std::string_view() : TextOf(argv[0]);
  std::string_view b = nullB ? std::string_view() : TextOf(argv[1]);
  std::string out;
  out.reserve(a.size() + b.size());
  out.append(a).append(b);
  sqlite3_result_text64(context, out.data(), out.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// a / b of two numbers, as a Double.
void Divide(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  double b = sqlite3_value_double(argv[1]);
  if (b == 0) return DivisionByZero(context);
  double q = sqlite3_value_double(argv[0]) / b;
  if (!std::isfinite(q)) return OutOfRange(context, "the quotient does not fit a Double");
  sqlite3_result_double(context, q);
}

// a \ b and a Mod b of two whole numbers (already rounded half to even).
template <bool Remainder>
void WholeDivide(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::int64_t a = sqlite3_value_int64(argv[0]);
  std::int64_t b = sqlite3_value_int64(argv[1]);
  if (b == 0) return DivisionByZero(context);
  if (a == std::numeric_limits<std::int64_t>::min() && b == -1) {
    if (Remainder) return sqlite3_result_int64(context, 0);
    return OutOfRange(context, "the quotient does not fit");
  }
  sqlite3_result_int64(context, Remainder ? a % b : a / b);
}

void Power(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  double a = sqlite3_value_double(argv[0]);
  double b = sqlite3_value_double(argv[1]);
  if (a == 0 && b < 0) return DivisionByZero(context);
  double r = std::pow(a, b);
  if (std::isnan(r)) return Raise(context, {"22003", "a negative number has no real power " + std::to_string(b)});
  if (!std::isfinite(r)) return OutOfRange(context, "the power does not fit a Double");
  sqlite3_result_double(context, r);
}

// Currency sums and differences in ten-thousandths: past the 64 bits the engine would go on in a
// double, which Currency never does.
template <bool Subtract>
void CurrencyAdd(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::int64_t a = sqlite3_value_int64(argv[0]);
  std::int64_t b = sqlite3_value_int64(argv[1]);
  std::int64_t out = 0;
  if (Subtract ? __builtin_sub_overflow(a, b, &out) : __builtin_add_overflow(a, b, &out)) {
    return OutOfRange(context, Subtract ? "the difference does not fit a Currency" : "the sum does not fit a Currency");
  }
  sqlite3_result_int64(context, out);
}

void CurrencyMultiply(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::int64_t out = 0;
  if (MultiplyCurrency(sqlite3_value_int64(argv[0]), sqlite3_value_int64(argv[1]), out) != NumberStatus::Ok) {
    return OutOfRange(context, "the product does not fit a Currency");
  }
  sqlite3_result_int64(context, out);
}

bool ReadDecimal(sqlite3_context* context, sqlite3_value* value, Decimal& out) {
  if (sqlite3_value_type(value) == SQLITE_INTEGER) {
    out = DecimalFromInt64(sqlite3_value_int64(value));
    return true;
  }
  if (ParseDecimal(TextOf(value), out) == NumberStatus::Ok) return true;
  Raise(context, {"22018", "'" + std::string(TextOf(value)) + "' is not a decimal number"});
  return false;
}

void ResultDecimal(sqlite3_context* context, const Decimal& d) {
  std::string text = DecimalText(d);
  sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

template <NumberStatus (*Operation)(const Decimal&, const Decimal&, Decimal&)>
void DecimalOperation(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  Decimal a, b, out;
  if (!ReadDecimal(context, argv[0], a) || !ReadDecimal(context, argv[1], b)) return;
  switch (Operation(a, b, out)) {
    case NumberStatus::Ok: return ResultDecimal(context, out);
    case NumberStatus::DivideByZero: return DivisionByZero(context);
    default: return OutOfRange(context, "the result does not fit a Decimal");
  }
}

void DecimalNegate(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  Decimal a;
  if (!ReadDecimal(context, argv[0], a)) return;
  if (a.mantissa != 0) a.negative = !a.negative;
  ResultDecimal(context, a);
}

// ---- Aggregates ----

// The engine's aggregate memory is aligned for 64-bit values only: a 128-bit number lives there
// as its bytes, copied in and out.
struct Stored128 {
  unsigned char bytes[16];
  template <typename T>
  T Get() const {
    static_assert(sizeof(T) == sizeof bytes);
    T v;
    std::memcpy(&v, bytes, sizeof v);
    return v;
  }
  template <typename T>
  void Set(T v) {
    static_assert(sizeof(T) == sizeof bytes);
    std::memcpy(bytes, &v, sizeof v);
  }
};

struct DecimalSum {
  Stored128 mantissa;
  bool negative;
  std::uint8_t scale;
  bool failed;
  std::int64_t count;

  Decimal Sum() const {
    Decimal d;
    d.negative = negative;
    d.scale = scale;
    d.mantissa = mantissa.Get<unsigned __int128>();
    return d;
  }
  void SetSum(const Decimal& d) {
    negative = d.negative;
    scale = d.scale;
    mantissa.Set(d.mantissa);
  }
};

void DecimalSumStep(sqlite3_context* context, int, sqlite3_value** argv) {
  auto* s = static_cast<DecimalSum*>(sqlite3_aggregate_context(context, sizeof(DecimalSum)));
  if (s == nullptr || s->failed || sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  Decimal v;
  if (!ReadDecimal(context, argv[0], v)) {
    s->failed = true;
    return;
  }
  Decimal out;
  if (AddDecimal(s->Sum(), v, out) != NumberStatus::Ok) {
    s->failed = true;
    return OutOfRange(context, "the sum does not fit a Decimal");
  }
  s->SetSum(out);
  ++s->count;
}

template <bool Average>
void DecimalSumFinal(sqlite3_context* context) {
  auto* s = static_cast<DecimalSum*>(sqlite3_aggregate_context(context, 0));
  if (s == nullptr || s->count == 0 || s->failed) return;
  if (!Average) return ResultDecimal(context, s->Sum());
  Decimal out;
  if (DivideDecimal(s->Sum(), DecimalFromInt64(s->count), out) != NumberStatus::Ok) {
    return OutOfRange(context, "the average does not fit a Decimal");
  }
  ResultDecimal(context, out);
}

struct CurrencySum {
  Stored128 sum;
  std::int64_t count;
};

void CurrencyAverageStep(sqlite3_context* context, int, sqlite3_value** argv) {
  auto* s = static_cast<CurrencySum*>(sqlite3_aggregate_context(context, sizeof(CurrencySum)));
  if (s == nullptr || sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  s->sum.Set(s->sum.Get<__int128>() + sqlite3_value_int64(argv[0]));
  ++s->count;
}

// The exact sum divided by the count, rounded half to even at four decimals.
void CurrencyAverageFinal(sqlite3_context* context) {
  auto* s = static_cast<CurrencySum*>(sqlite3_aggregate_context(context, 0));
  if (s == nullptr || s->count == 0) return;
  __int128 sum = s->sum.Get<__int128>();
  __int128 q = sum / s->count;
  __int128 r = sum % s->count;
  __int128 twice = (r < 0 ? -r : r) * 2;
  if (twice > s->count || (twice == s->count && (q % 2 != 0))) q += sum < 0 ? -1 : 1;
  sqlite3_result_int64(context, static_cast<std::int64_t>(q));
}

// First and Last: the value of the first and the last row the aggregate sees, Null included.
struct Kept {
  sqlite3_value* value;
  bool seen;
};

template <bool Last>
void KeepStep(sqlite3_context* context, int, sqlite3_value** argv) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(context, sizeof(Kept)));
  if (k == nullptr || (k->seen && !Last)) return;
  sqlite3_value_free(k->value);
  k->value = sqlite3_value_dup(argv[0]);
  k->seen = true;
}

void KeepFinal(sqlite3_context* context) {
  auto* k = static_cast<Kept*>(sqlite3_aggregate_context(context, 0));
  if (k == nullptr) return;
  if (k->value != nullptr) sqlite3_result_value(context, k->value);
  sqlite3_value_free(k->value);
  k->value = nullptr;
}

// StDev, StDevP, Var, VarP by Welford's method.
struct Spread {
  std::int64_t count;
  double mean;
  double m2;
  int kind;
};

void SpreadStep(sqlite3_context* context, int, sqlite3_value** argv) {
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(context, sizeof(Spread)));
  if (s == nullptr) return;
  s->kind = sqlite3_value_int(argv[1]);
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  double x = sqlite3_value_double(argv[0]);
  ++s->count;
  double delta = x - s->mean;
  s->mean += delta / static_cast<double>(s->count);
  s->m2 += delta * (x - s->mean);
}

void SpreadFinal(sqlite3_context* context) {
  auto* s = static_cast<Spread*>(sqlite3_aggregate_context(context, 0));
  if (s == nullptr || s->count == 0) return;
  bool population = s->kind == 1 || s->kind == 3;
  bool deviation = s->kind == 0 || s->kind == 1;
  std::int64_t divisor = population ? s->count : s->count - 1;
  if (divisor <= 0) return;  // one value has no sample spread
  double variance = s->m2 / static_cast<double>(divisor);
  sqlite3_result_double(context, deviation ? std::sqrt(variance) : variance);
}

const RuntimeFunction kOperators[] = {
    {"jet_cast", 3, Cast, nullptr, nullptr, true},
    {"jet_convert", 3, Convert, nullptr, nullptr, true},
    {"jet_cat", 2, Concatenate, nullptr, nullptr, true},
    {"jet_div", 2, Divide, nullptr, nullptr, true},
    {"jet_idiv", 2, WholeDivide<false>, nullptr, nullptr, true},
    {"jet_mod", 2, WholeDivide<true>, nullptr, nullptr, true},
    {"jet_pow", 2, Power, nullptr, nullptr, true},
    {"jet_cur_add", 2, CurrencyAdd<false>, nullptr, nullptr, true},
    {"jet_cur_sub", 2, CurrencyAdd<true>, nullptr, nullptr, true},
    {"jet_cur_mul", 2, CurrencyMultiply, nullptr, nullptr, true},
    {"jet_dec_add", 2, DecimalOperation<AddDecimal>, nullptr, nullptr, true},
    {"jet_dec_sub", 2, DecimalOperation<SubtractDecimal>, nullptr, nullptr, true},
    {"jet_dec_mul", 2, DecimalOperation<MultiplyDecimal>, nullptr, nullptr, true},
    {"jet_dec_div", 2, DecimalOperation<DivideDecimal>, nullptr, nullptr, true},
    {"jet_dec_neg", 1, DecimalNegate, nullptr, nullptr, true},
    {"jet_dec_sum", 1, nullptr, DecimalSumStep, DecimalSumFinal<false>, true},
    {"jet_dec_avg", 1, nullptr, DecimalSumStep, DecimalSumFinal<true>, true},
    {"jet_cur_avg", 1, nullptr, CurrencyAverageStep, CurrencyAverageFinal, true},
    {"jet_first", 1, nullptr, KeepStep<false>, KeepFinal, true},
    {"jet_last", 1, nullptr, KeepStep<true>, KeepFinal, true},
    {"jet_spread", 2, nullptr, SpreadStep, SpreadFinal, true},
};

}  // namespace

std::span<const RuntimeFunction> OperatorFunctions() { return kOperators; }

namespace {

// What each registration of an engine function carries: the engine its failures are reported
// to, and the function itself, called through one guard so that no exception crosses the
// engine's C code.
struct Registration {
  Engine* engine;
  const RuntimeFunction* function;
};

const Registration& Of(sqlite3_context* context) { return *static_cast<const Registration*>(sqlite3_user_data(context)); }

void Scalar(sqlite3_context* context, int argc, sqlite3_value** argv) noexcept {
  CallGuarded(Of(context).function->scalar, context, argc, argv);
}

void Step(sqlite3_context* context, int argc, sqlite3_value** argv) noexcept {
  CallGuarded(Of(context).function->step, context, argc, argv);
}

void Final(sqlite3_context* context) noexcept {
  try {
    Of(context).function->final(context);
  } catch (const std::bad_alloc&) {
    sqlite3_result_error_nomem(context);
  } catch (...) {
    sqlite3_result_error(context, "internal error of unknown kind", -1);
  }
}

}  // namespace

void Raise(sqlite3_context* context, const SqlError& error) {
  Engine* engine = Of(context).engine;
  if (engine != nullptr) engine->failureState = error.state;
  sqlite3_result_error(context, error.message.data(), static_cast<int>(error.message.size()));
}

Type ArgumentType(sqlite3_value* code) { return TypeFromCode(sqlite3_value_int(code)); }

Variant TypedArgument(sqlite3_value** argv, int index) {
  return ReadVariant(argv[index], ArgumentType(argv[index + 1]));
}

void ResultAs(sqlite3_context* context, const Variant& v, const Type& to) {
  Variant out;
  SqlError error;
  if (!ConvertVariant(v, to, out, error)) return Raise(context, error);
  ResultVariant(context, out);
}

bool RegisterRuntime(sqlite3* db, Engine* engine) {
  if (!RegisterLike(db)) return false;
  for (std::span<const RuntimeFunction> group : {OperatorFunctions(), TextFunctions(), NumberFunctions(),
                                                 DateFunctions(), FormatFunctions(), PredicateFunctions(),
                                                 FinanceFunctions()}) {
    for (const RuntimeFunction& f : group) {
      int flags = SQLITE_UTF8 | SQLITE_INNOCUOUS | (f.deterministic ? SQLITE_DETERMINISTIC : 0);
      auto* registration = new Registration{engine, &f};
      if (sqlite3_create_function_v2(db, f.name, f.arguments, flags, registration, f.scalar ? Scalar : nullptr,
                                     f.step ? Step : nullptr, f.final ? Final : nullptr,
                                     [](void* p) { delete static_cast<Registration*>(p); }) != SQLITE_OK) {
        return false;
      }
    }
  }
  return RegisterRandom(db, engine);
}

}  // namespace mdbodbc::sql
