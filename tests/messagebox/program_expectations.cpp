#include "program_expectations.h"

#include <gtest/gtest.h>

namespace mbtest {

void ExpectOutput(Child& program, const std::string& expected) {
  EXPECT_TRUE(program.PumpUntil(
      [&](const std::string& out, const std::string&) { return out.size() >= expected.size(); },
      milliseconds(20000)))
      << "standard output so far: " << program.out();
  EXPECT_EQ(program.out(), expected);
}

void ExpectWaiting(Child& program, const std::string& outSoFar) {
  program.Pump(milliseconds(300));
  EXPECT_EQ(program.out(), outSoFar);
  EXPECT_TRUE(program.Running());
}

}  // namespace mbtest
