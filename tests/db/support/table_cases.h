// Rows of the parameterised tests: a row names itself with its `name` member, which names its
// test case and is what a failure prints of it.
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

// The test name of a row: its `name`.
template <class Row>
std::string CaseName(const ::testing::TestParamInfo<Row>& info) {
  return info.param.name;
}

// Declares, in the namespace of the row type, the printer that shows a row by its name.
#define DB_PRINT_ROWS_BY_NAME(Row) \
  inline void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

// Instantiates the parameterised `Suite` over the rows given, each case named by its row.
#define DB_NAMED_CASES(Prefix, Suite, ...)                                  \
  INSTANTIATE_TEST_SUITE_P(Prefix, Suite, ::testing::Values(__VA_ARGS__), \
                           CaseName<Suite::ParamType>)

// A parameterised test over `Fixture` whose rows are of type `Row`.
template <class Fixture, class Row>
class CasesOf : public Fixture, public ::testing::WithParamInterface<Row> {};
