// The brand listing's scenarios in one table, which every runner of the whole program goes
// through: the program in this process and as a process over the scripted driver manager, over
// unixODBC and the project's driver, and under memcheck. A row says what the table holds and
// what disturbs the run; what the program must show and write follows from it.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace listing {

enum class Disturbance {
  None,
  MissingTable,       // no table avion
  MissingColumn,      // avion without the column marque
  RefusedConnection,  // the connection cannot be made
  HugeLength,         // the first read announces a length no text can hold (scripted only)
};

// The runners a row goes through.
enum Runner : unsigned {
  kInProcess = 1,      // the program's code in this process, scripted driver manager
  kScripted = 2,       // the program itself, scripted driver manager
  kDriver = 4,         // the program itself, unixODBC and the project's driver
  kMemcheck = 8,       // the two above under memcheck
  kEveryRunner = kInProcess | kScripted | kDriver,
};

struct Scenario {
  const char* name;
  std::vector<std::optional<std::string>> rows;  // avion.marque, UTF-8; nullopt is NULL
  unsigned runners = kEveryRunner;
  const char* locale = "C.UTF-8";
  bool memo = false;  // a long column: Memo, SQL_WLONGVARCHAR
  int size = 50;      // the text column's size
  Disturbance disturbance = Disturbance::None;
};
void PrintTo(const Scenario& scenario, std::ostream* os);
std::string ScenarioName(const testing::TestParamInfo<Scenario>& info);

// The rows of the table that go through `runner`.
std::vector<Scenario> ScenariosFor(Runner runner);

// The values the run shows and writes, in order: the first three rows, NULL as an empty text,
// as the scenario's locale writes them.
std::vector<std::string> ExpectedValues(const Scenario& scenario);
// The status the run ends with.
int ExpectedStatus(const Scenario& scenario);

// Where the database comes from.
enum class Source { Scripted, Driver };
// The text of the error box after the values, when the run ends with one.
std::optional<std::string> ExpectedErrorBox(const Scenario& scenario, Source source);
// The one line on standard error of a run that ends with status 1, scripted.
std::string ExpectedFailureLine(const Scenario& scenario);

// The script of the scripted driver manager.
std::string FakeScript(const Scenario& scenario);

// UTF-8 text as the C locale writes it: ASCII stays, every other character becomes one '?'.
std::string AsCLocaleWrites(const std::string& utf8);

// A text of `units` characters of the Basic Multilingual Plane (one UTF-16 unit each), cycling
// through ASCII, Latin, Cyrillic and CJK so that the UTF-8 form runs from 1 to 3 bytes a unit.
std::string TextOfUnits(size_t units);

}  // namespace listing
