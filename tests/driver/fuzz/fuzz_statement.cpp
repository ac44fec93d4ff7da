// libFuzzer target: any bytes, taken as a statement, are parsed, bound, translated and run on
// a small database of every column type; each must end in rows or in an error that says what
// is wrong, without a crash, a hang or a sanitizer report. The engine stays open from one input
// to the next, as a connection does.
#include "driver/sql/engine.h"
#include "driver/sql/parser.h"
#include "driver/sql/query.h"
#include "driver/sql/run_control.h"

#include <mdb_writer.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

using mdbodbc::sql::Engine;
using mdbodbc::sql::Query;
using mdbodbc::sql::SqlError;

std::unique_ptr<Engine> OpenEngine() {
  using mkmdb::ColumnType;
  mkmdb::TableSpec t{"t",
                     {{"id", ColumnType::Long}, {"s", ColumnType::Text, 50},
                      {"m", ColumnType::Memo}, {"x", ColumnType::Double},
                      {"cur", ColumnType::Currency}, {"dec", ColumnType::Decimal, 0, 18, 6},
                      {"dt", ColumnType::DateTime}, {"b", ColumnType::YesNo},
                      {"i", ColumnType::Integer}, {"g", ColumnType::Guid}},
                     {}};
  auto n = std::nullopt;
  t.rows = {{"1", "Airbus", "memo", "2.5", "12.34", "1.5", "2000-01-01 10:00:00.5", "1", "7",
             "{01020304-0506-0708-090A-0B0C0D0E0F10}"},
            {"2", "Élodie", n, "-1e300", "-922337203685477.5808", "-999999999999.999999", "0100-01-01", "0", n, n},
            {"3", n, "x", n, n, n, "9999-12-31 23:59:59.999", "1", "-32768", n}};
  mkmdb::TableSpec u{"u", {{"k", ColumnType::Long}, {"name", ColumnType::Text, 20}}, {{"1", "one"}, {"3", "three"}}};
  char path[] = "/tmp/sql_fuzz_XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) std::abort();
  close(fd);
  mkmdb::WriteDatabase(path, {t, u});
  std::string error;
  std::shared_ptr<const jet::Database> database(jet::Database::Open(path, error));
  std::remove(path);
  if (!database) std::abort();
  mdbodbc::sql::EngineLimits limits;
  limits.maxTempBytes = std::size_t{64} << 20;
  std::unique_ptr<Engine> engine = Engine::Open(database, limits, error);
  if (!engine) std::abort();
  return engine;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static std::unique_ptr<Engine> engine = OpenEngine();
  std::string text(reinterpret_cast<const char*>(data), size);
  SqlError error;
  std::string native;
  if (!mdbodbc::sql::NativeStatement(text, native, error) && error.message.empty()) std::abort();
  error = {};
  std::unique_ptr<Query> query = Query::Prepare(*engine, text, error);
  static mdbodbc::sql::RunControl control;
  control.timeLimit = std::chrono::seconds(2);  // a statement that runs away is cut, not waited for
  if (query) query->SetControl(&control);
  if (!query) {
    if (error.state.empty() || error.message.empty()) std::abort();  // a refusal says why
    return 0;
  }
  if (!query->Start(error)) {
    if (error.state.empty()) std::abort();
    return 0;
  }
  mdbodbc::sql::Row row;
  for (int i = 0; i < 200; ++i) {
    error = {};
    Query::Step step = query->Next(row, error);
    if (step == Query::Step::End) break;
    if ((step == Query::Step::Error || step == Query::Step::RowError) && error.state.empty()) std::abort();
    if (step == Query::Step::Error) break;
  }
  return 0;
}
