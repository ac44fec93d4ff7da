// Throughput of the Jet 4 writer: whole files of generated rows, and rows with memo values in
// each storage form.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>

#include "generated_rows.h"
#include "mdb_writer.h"

namespace {

std::string OutputPath() {
  const char* base = std::getenv("TMPDIR");
  return std::string(base && *base ? base : "/tmp") + "/mkmdb-bench-" +
         std::to_string(getpid()) + ".mdb";
}

// One file of N generated brand rows (Text(50) and Long), fsync and rename included.
void BM_WriteGeneratedRows(benchmark::State& state) {
  const std::vector<mkmdb::ColumnSpec> columns = {{"marque", mkmdb::ColumnType::Text, 50},
                                                  {"rang", mkmdb::ColumnType::Long}};
  const auto count = static_cast<std::uint64_t>(state.range(0));
  const std::string path = OutputPath();
  for (auto _ : state) {
    mkmdb::GeneratedRows rows(columns, count);
    mkmdb::WriteDatabaseFromSources(path, {{"avion", columns, &rows}});
  }
  unlink(path.c_str());
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_WriteGeneratedRows)->Arg(1000)->Arg(100'000)->Arg(1'000'000)
    ->Unit(benchmark::kMillisecond);

// Rows of every type, generated.
void BM_WriteEveryType(benchmark::State& state) {
  const std::vector<mkmdb::ColumnSpec> columns = {
      {"marque", mkmdb::ColumnType::Text, 50}, {"notes", mkmdb::ColumnType::Memo},
      {"rang", mkmdb::ColumnType::Long},       {"poids", mkmdb::ColumnType::Double},
      {"vol", mkmdb::ColumnType::DateTime},    {"actif", mkmdb::ColumnType::YesNo}};
  const std::uint64_t count = 100'000;
  const std::string path = OutputPath();
  for (auto _ : state) {
    mkmdb::GeneratedRows rows(columns, count);
    mkmdb::WriteDatabaseFromSources(path, {{"avion", columns, &rows}});
  }
  unlink(path.c_str());
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(count));
}
BENCHMARK(BM_WriteEveryType)->Unit(benchmark::kMillisecond);

// 1000 memo values of the given length in characters: inline, one LVAL row, or a chain.
void BM_WriteMemos(benchmark::State& state) {
  const auto length = static_cast<std::size_t>(state.range(0));
  mkmdb::TableSpec table{"memos", {{"texte", mkmdb::ColumnType::Memo}}, {}};
  for (int i = 0; i < 1000; ++i) table.rows.push_back({std::string(length, 'a' + i % 26)});
  const std::string path = OutputPath();
  for (auto _ : state) mkmdb::WriteDatabase(path, {table});
  unlink(path.c_str());
  state.SetBytesProcessed(state.iterations() * 1000 * static_cast<std::int64_t>(length));
}
BENCHMARK(BM_WriteMemos)->Arg(100)->Arg(1500)->Arg(20'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
