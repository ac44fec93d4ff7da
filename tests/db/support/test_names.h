// The names the layer's tests use unqualified: the scripted driver manager's answers, results
// and functions, and the matchers of the call logs and traces.
#pragma once

#include <gmock/gmock.h>

#include "tests/fakeodbc/fake_odbc.h"

using fakeodbc::Answer;
using fakeodbc::Column;
using fakeodbc::Diag;
using fakeodbc::Fn;
using fakeodbc::InfoValue;
using fakeodbc::ResultSet;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
