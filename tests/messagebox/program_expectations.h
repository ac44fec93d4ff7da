// What a test expects of a program that shows message boxes while it runs: its standard output
// stays still while a box is up, and its line arrives once the box is dismissed.
#pragma once

#include <string>

#include "tests/support/child_process.h"

namespace mbtest {

using namespace testsupport;

// Waits until the program has written as much as `expected` on standard output, and checks
// that it is exactly that; fails the test after 20 seconds.
void ExpectOutput(Child& program, const std::string& expected);

// The program is inside a box: for 300 ms its standard output stays `outSoFar` and it runs on.
void ExpectWaiting(Child& program, const std::string& outSoFar);

}  // namespace mbtest
