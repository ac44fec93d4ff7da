// What an action raised: the layer's errors are caught, read and deleted, so that a test can
// compare them.
#pragma once

#include <functional>
#include <string>

#include "db/db_exception.h"

struct Raised {
  enum Kind { Nothing, Database, InvalidArgument, OtherError };
  Kind kind = Nothing;
  RETCODE code = 0;       // Database: m_nReturnCode
  std::string errorText;  // Database: m_strErrorText, UTF-8
  std::string stateInfo;  // Database: m_strStateInfo, UTF-8
};

// Runs `action`, catching (and deleting) any framework error it raises.
Raised RunCatching(const std::function<void()>& action);

// The text of every own code, whose string-table entry is missing, as RaiseDatabaseError
// traces it.
std::string OwnCodeTrace();
