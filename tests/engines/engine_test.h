// The fixture of every engine test: one test body per behaviour, instantiated per driver.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "tests/engines/engines.h"

namespace enginetest {

using Rows = std::vector<std::optional<std::string>>;

class EngineTest : public ::testing::TestWithParam<EngineDriver> {
 protected:
  // Skips, or fails when the engines are required, for a missing package; starts the engine.
  void SetUp() override;

  EngineServer& Engine() { return *m_server; }
  const EngineDriver& Driver() const { return GetParam(); }

  // The table avion(marque TYPE) with the rows, made anew by the engine's own client.
  void MakeTable(const std::string& type, const Rows& rows);
  // What the engine's client reads of the program's statement, NULL as empty text.
  std::vector<std::string> ClientRows();

  // Opens the connection as the program does: the connect text behind "ODBC;", the cursor
  // library asked for.
  void Connect(CDatabase& database);

 private:
  EngineServer* m_server = nullptr;
};

// "sqlite", "postgresql_ansi" ... as the test's name.
std::string DriverName(const ::testing::TestParamInfo<EngineDriver>& info);

// True when the driver manager's cursor library is loaded into this process.
bool CursorLibraryLoaded();

// The program's statement.
inline constexpr char kStatement[] = "SELECT marque FROM avion ";

}  // namespace enginetest

#define INSTANTIATE_FOR_EVERY_ENGINE(suite)                                                  \
  INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::ValuesIn(::enginetest::AllDrivers()), \
                           ::enginetest::DriverName)
