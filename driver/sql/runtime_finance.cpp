// Access's financial functions as engine functions: annuities (FV, PV, Pmt, IPmt, PPmt, NPer,
// Rate) and depreciation (SLN, SYD, DDB), on Doubles, with Access's refusals of arguments that
// give no answer. `type` 0 pays at the end of each period, anything else at its start; a
// payment made is negative, one received positive.
#include "runtime.h"
#include "runtime_arguments.h"

#include <sqlite3.h>

#include <cmath>
#include <string>

namespace mdbodbc::sql {
namespace {

// Reads the arguments as Doubles; false after refusing a Null.
bool Numbers(sqlite3_context* context, int argc, sqlite3_value** argv, const char* function, double* out) {
  for (int i = 0; i < argc; ++i) {
    if (IsNullArgument(argv[i])) {
      NullNotAllowed(context, std::string(function) + " takes numbers, not Null");
      return false;
    }
    out[i] = sqlite3_value_double(argv[i]);
  }
  return true;
}

void Answer(sqlite3_context* context, double value, const char* function) {
  if (std::isnan(value)) return InvalidArgument(context, std::string(function) + " has no answer for these arguments");
  if (!std::isfinite(value)) return OutOfRange(context, std::string(function) + ": the result does not fit a Double");
  sqlite3_result_double(context, value);
}

// The future value of `pv` now and `pmt` each period for `nper` periods at `rate`.
double FutureValue(double rate, double nper, double pmt, double pv, bool atStart) {
  if (rate == 0) return -(pv + pmt * nper);
  double growth = std::pow(1 + rate, nper);
  return -(pv * growth + pmt * (1 + (atStart ? rate : 0)) * (growth - 1) / rate);
}

double Payment(double rate, double nper, double pv, double fv, bool atStart) {
  if (rate == 0) return -(pv + fv) / nper;
  double growth = std::pow(1 + rate, nper);
  return -(pv * growth + fv) * rate / ((1 + (atStart ? rate : 0)) * (growth - 1));
}

double InterestPart(double rate, double per, double nper, double pv, double fv, bool atStart) {
  if (atStart && per == 1) return 0;
  double pmt = Payment(rate, nper, pv, fv, atStart);
  double interest = FutureValue(rate, per - 1, pmt, pv, atStart) * rate;
  return atStart ? interest / (1 + rate) : interest;
}

// jet_fv(rate, nper, pmt, pv, type).
void FV(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[5];
  if (!Numbers(context, argc, argv, "FV", a)) return;
  Answer(context, FutureValue(a[0], a[1], a[2], a[3], a[4] != 0), "FV");
}

// jet_pv(rate, nper, pmt, fv, type).
void PV(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[5];
  if (!Numbers(context, argc, argv, "PV", a)) return;
  double rate = a[0], nper = a[1], pmt = a[2], fv = a[3];
  bool atStart = a[4] != 0;
  if (rate == 0) return Answer(context, -(fv + pmt * nper), "PV");
  double growth = std::pow(1 + rate, nper);
  Answer(context, -(fv + pmt * (1 + (atStart ? rate : 0)) * (growth - 1) / rate) / growth, "PV");
}

// jet_pmt(rate, nper, pv, fv, type).
void Pmt(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[5];
  if (!Numbers(context, argc, argv, "Pmt", a)) return;
  if (a[1] == 0) return InvalidArgument(context, "Pmt takes a number of periods other than 0");
  Answer(context, Payment(a[0], a[1], a[2], a[3], a[4] != 0), "Pmt");
}

// jet_ipmt(rate, per, nper, pv, fv, type) and jet_ppmt(...): the interest and the principal of
// payment `per` (1..nper).
template <bool Principal>
void PaymentPart(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const char* name = Principal ? "PPmt" : "IPmt";
  double a[6];
  if (!Numbers(context, argc, argv, name, a)) return;
  double rate = a[0], per = a[1], nper = a[2], pv = a[3], fv = a[4];
  bool atStart = a[5] != 0;
  if (per < 1 || per > nper) {
    return InvalidArgument(context, std::string(name) + "'s period must lie between 1 and the number of periods");
  }
  double interest = InterestPart(rate, per, nper, pv, fv, atStart);
  Answer(context, Principal ? Payment(rate, nper, pv, fv, atStart) - interest : interest, name);
}

// jet_nper(rate, pmt, pv, fv, type).
void NPer(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[5];
  if (!Numbers(context, argc, argv, "NPer", a)) return;
  double rate = a[0], pmt = a[1], pv = a[2], fv = a[3];
  bool atStart = a[4] != 0;
  if (rate == 0) {
    if (pmt == 0) return InvalidArgument(context, "NPer takes a payment other than 0 at a rate of 0");
    return Answer(context, -(pv + fv) / pmt, "NPer");
  }
  double due = pmt * (1 + (atStart ? rate : 0));
  double ratio = (due - fv * rate) / (due + pv * rate);
  if (!(ratio > 0) || rate <= -1) return InvalidArgument(context, "NPer has no answer for these arguments");
  Answer(context, std::log(ratio) / std::log(1 + rate), "NPer");
}

// jet_rate(nper, pmt, pv, fv, type, guess): the rate at which the annuity balances, found as
// Access finds it, by at most 20 steps of Newton's method from `guess`.
void Rate(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[6];
  if (!Numbers(context, argc, argv, "Rate", a)) return;
  double nper = a[0], pmt = a[1], pv = a[2], fv = a[3], rate = a[5];
  bool atStart = a[4] != 0;
  if (nper <= 0) return InvalidArgument(context, "Rate takes a number of periods above 0");
  // The balance left at the end: 0 at the rate sought.
  auto balance = [&](double r) { return FutureValue(r, nper, pmt, pv, atStart) + fv; };
  for (int step = 0; step < 20; ++step) {
    double f = balance(rate);
    double h = std::fabs(rate) > 1e-6 ? rate * 1e-6 : 1e-9;
    double slope = (balance(rate + h) - f) / h;
    if (slope == 0 || !std::isfinite(slope)) break;
    double next = rate - f / slope;
    if (!std::isfinite(next) || next <= -1) break;
    if (std::fabs(next - rate) < 1e-7) return Answer(context, next, "Rate");
    rate = next;
  }
  InvalidArgument(context, "Rate found no rate in 20 steps (try another guess)");
}

// jet_sln(cost, salvage, life): straight-line depreciation for one period.
void SLN(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[3];
  if (!Numbers(context, argc, argv, "SLN", a)) return;
  if (a[2] == 0) return InvalidArgument(context, "SLN takes a life other than 0");
  Answer(context, (a[0] - a[1]) / a[2], "SLN");
}

// jet_syd(cost, salvage, life, period): sum-of-years' digits depreciation for `period`.
void SYD(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[4];
  if (!Numbers(context, argc, argv, "SYD", a)) return;
  double cost = a[0], salvage = a[1], life = a[2], period = a[3];
  if (life <= 0 || period <= 0 || period > life) return InvalidArgument(context, "SYD takes a period from 1 to the life");
  Answer(context, (cost - salvage) * (life - period + 1) * 2 / (life * (life + 1)), "SYD");
}

// jet_ddb(cost, salvage, life, period, factor): declining-balance depreciation for `period`,
// never below the salvage.
void DDB(sqlite3_context* context, int argc, sqlite3_value** argv) {
  double a[5];
  if (!Numbers(context, argc, argv, "DDB", a)) return;
  double cost = a[0], salvage = a[1], life = a[2], period = a[3], factor = a[4];
  if (life <= 0 || period <= 0 || period > life || factor <= 0 || cost < 0 || salvage < 0) {
    return InvalidArgument(context, "DDB takes a period from 1 to the life and a positive factor");
  }
  double rate = factor / life > 1 ? 1 : factor / life;
  double before = cost * (1 - std::pow(1 - rate, period - 1));  // depreciated in earlier periods
  double depreciation = (cost - before) * rate;
  double left = cost - salvage - before;
  Answer(context, depreciation < left ? depreciation : (left > 0 ? left : 0), "DDB");
}

const RuntimeFunction kFinance[] = {
    {"jet_fv", 5, FV, nullptr, nullptr, true},
    {"jet_pv", 5, PV, nullptr, nullptr, true},
    {"jet_pmt", 5, Pmt, nullptr, nullptr, true},
    {"jet_ipmt", 6, PaymentPart<false>, nullptr, nullptr, true},
    {"jet_ppmt", 6, PaymentPart<true>, nullptr, nullptr, true},
    {"jet_nper", 5, NPer, nullptr, nullptr, true},
    {"jet_rate", 6, Rate, nullptr, nullptr, true},
    {"jet_sln", 3, SLN, nullptr, nullptr, true},
    {"jet_syd", 4, SYD, nullptr, nullptr, true},
    {"jet_ddb", 5, DDB, nullptr, nullptr, true},
};

}  // namespace

std::span<const RuntimeFunction> FinanceFunctions() { return kFinance; }

}  // namespace mdbodbc::sql
