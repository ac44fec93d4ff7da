// The Access SQL front end's own cost: the program's statement parsed, bound and translated;
// the same prepared by the engine; and a join of ten tables prepared. Run by hand after a
// release build: build/bench/front_end_bench.
#include "driver/sql/binder.h"
#include "driver/sql/engine.h"
#include "driver/sql/parser.h"
#include "driver/sql/query.h"
#include "driver/sql/translator.h"

#include <mdb_writer.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

using namespace mdbodbc::sql;

// Ten tables of a key and a name, one of them the program's `avion`.
Engine& TheEngine() {
  static std::unique_ptr<Engine> engine = [] {
    std::vector<mkmdb::TableSpec> tables;
    tables.push_back({"avion", {{"marque", mkmdb::ColumnType::Text, 50}}, {{"Airbus"}, {"Boeing"}, {"Cessna"}}});
    for (int i = 1; i <= 10; ++i) {
      tables.push_back({"t" + std::to_string(i),
                        {{"k", mkmdb::ColumnType::Long}, {"name", mkmdb::ColumnType::Text, 20}},
                        {{"1", "one"}, {"2", "two"}}});
    }
    char path[] = "/tmp/front_end_bench_XXXXXX";
    int fd = mkstemp(path);
    if (fd < 0) std::abort();
    close(fd);
    mkmdb::WriteDatabase(path, tables);
    std::string error;
    std::shared_ptr<const jet::Database> database(jet::Database::Open(path, error));
    std::remove(path);
    std::unique_ptr<Engine> opened = database ? Engine::Open(database, EngineLimits{}, error) : nullptr;
    if (!opened) std::abort();
    return opened;
  }();
  return *engine;
}

const char kProgramStatement[] = "SELECT marque FROM avion ";

std::string TenTableJoin() {
  std::string sql = "SELECT t1.name, t10.name FROM ";
  for (int i = 1; i < 10; ++i) sql += "(";
  sql += "t1";
  for (int i = 2; i <= 10; ++i) {
    sql += " INNER JOIN t" + std::to_string(i) + " ON t" + std::to_string(i - 1) + ".k = t" + std::to_string(i) + ".k)";
  }
  return sql + " WHERE t1.k = 1";
}

// Parse, bind and translate: what the front end adds before the engine sees the statement.
void Translate(benchmark::State& state, const std::string& text) {
  Engine& engine = TheEngine();
  for (auto _ : state) {
    BoundStatement bound;
    SqlError error;
    bound.statement = ParseStatement(text, error);
    if (!bound.statement || !Bind(engine, bound, error)) state.SkipWithError(error.message.c_str());
    Translation translation;
    if (!Translate(engine, bound, translation, error)) state.SkipWithError(error.message.c_str());
    benchmark::DoNotOptimize(translation.sql);
  }
}

// The whole prepare: the front end and the engine's own compile.
void Prepare(benchmark::State& state, const std::string& text) {
  Engine& engine = TheEngine();
  for (auto _ : state) {
    SqlError error;
    std::unique_ptr<Query> query = Query::Prepare(engine, text, error);
    if (!query) state.SkipWithError(error.message.c_str());
    benchmark::DoNotOptimize(query);
  }
}

BENCHMARK_CAPTURE(Translate, program_statement, std::string(kProgramStatement))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Prepare, program_statement, std::string(kProgramStatement))->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Translate, ten_table_join, TenTableJoin())->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Prepare, ten_table_join, TenTableJoin())->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
