// Access's General text order: one comparison of short names (ASCII and accented), one sort
// key, and a sort of a million generated names, the work an ORDER BY on a text column does.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "jet/sort_order.h"

namespace {

const char* const kAscii[] = {"Boeing", "boeing 747", "Airbus A320", "Airbus a321", "Cessna", "Bombardier"};
const char* const kAccented[] = {"Élodie", "Elodie", "Zoë", "zoe", "Straße", "Ærø", "Łódź", "Άλφα"};

template <std::size_t N>
void CompareNames(benchmark::State& state, const char* const (&names)[N]) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(jet::CompareGeneral(names[i % N], names[(i + 1) % N]));
    ++i;
  }
}
void BM_CompareAscii(benchmark::State& state) { CompareNames(state, kAscii); }
void BM_CompareAccented(benchmark::State& state) { CompareNames(state, kAccented); }

void BM_SortKeyAccented(benchmark::State& state) {
  std::size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(jet::GeneralSortKey(kAccented[i++ % 8]));
}

// Names of 5 to 20 letters, mixed case, with a digit or blank now and then.
std::vector<std::string> GeneratedNames(std::size_t count) {
  std::mt19937 random(42);
  const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 ";
  std::vector<std::string> names(count);
  for (std::string& name : names) {
    const std::size_t length = 5 + random() % 16;
    for (std::size_t i = 0; i < length; ++i) name += letters[random() % letters.size()];
  }
  return names;
}

template <typename Less>
void SortMillionNames(benchmark::State& state, Less less) {
  const std::vector<std::string> names = GeneratedNames(1'000'000);
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::string> rows = names;
    state.ResumeTiming();
    std::sort(rows.begin(), rows.end(), less);
    benchmark::DoNotOptimize(rows.data());
  }
}
void BM_SortMillionNames(benchmark::State& state) {
  SortMillionNames(state, [](const std::string& a, const std::string& b) { return jet::CompareGeneral(a, b) < 0; });
}
// The yardstick: the same sort by bytes.
void BM_SortMillionNamesByBytes(benchmark::State& state) {
  SortMillionNames(state, [](const std::string& a, const std::string& b) { return a < b; });
}

}  // namespace

BENCHMARK(BM_CompareAscii);
BENCHMARK(BM_CompareAccented);
BENCHMARK(BM_SortKeyAccented);
BENCHMARK(BM_SortMillionNames)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortMillionNamesByBytes)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
