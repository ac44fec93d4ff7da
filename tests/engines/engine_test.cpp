#include "tests/engines/engine_test.h"

#include "tests/support/process_libraries.h"
#include "text/utf.h"

namespace enginetest {

void EngineTest::SetUp() {
  if (const std::optional<std::string> missing = MissingPackage(Driver())) {
    if (EnginesRequired()) FAIL() << "missing package " << *missing << " (engines required)";
    GTEST_SKIP() << "missing package " << *missing;
  }
  m_server = &Server(Driver().engine);
}

void EngineTest::MakeTable(const std::string& type, const Rows& rows) {
  std::string sql = "DROP TABLE IF EXISTS avion;\nCREATE TABLE avion (marque " + type + ");\n";
  for (const std::optional<std::string>& row : rows) {
    sql += "INSERT INTO avion (marque) VALUES (" + SqlLiteral(row) + ");\n";
  }
  Engine().Execute(sql);
}

std::vector<std::string> EngineTest::ClientRows() { return Engine().ReadRows(kStatement); }

void EngineTest::Connect(CDatabase& database) {
  const CString connect(textconv::Utf8ToUtf16("ODBC;" + Engine().ConnectString(Driver())));
  database.Open(nullptr, FALSE, FALSE, connect, TRUE);
}

std::string DriverName(const ::testing::TestParamInfo<EngineDriver>& info) {
  return info.param.name;
}

bool CursorLibraryLoaded() { return testsupport::LibraryMapped("libodbccr"); }

}  // namespace enginetest
