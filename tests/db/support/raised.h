// What an action raised: the layer's errors caught and read into values (and deleted) for a
// test to compare, or caught and kept for it to examine; and the text every own code carries
// while its string-table entry is missing.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "db/db_exception.h"

struct Raised {
  enum Kind { Nothing, Database, Memory, InvalidArgument, OtherError };
  Kind kind = Nothing;
  RETCODE code = 0;       // Database: m_nReturnCode
  std::string errorText;  // Database: m_strErrorText, UTF-8
  std::string stateInfo;  // Database: m_strStateInfo, UTF-8
};

// Whether `raised` is a database error of `code` and, for each text given, of that text (UTF-8).
::testing::AssertionResult IsDbError(const Raised& raised, RETCODE code,
                                     const char* errorText = nullptr,
                                     const char* stateInfo = nullptr);

// Runs `action`, catching (and deleting) any framework error it raises.
Raised RunCatching(const std::function<void()>& action);

// Whether `action` raised the invalid-argument error.
bool RaisesInvalidArg(const std::function<void()>& action);

// The code of the database error `action` raised; 0 when it raised none.
int RaisedCode(const std::function<void()>& action);

// An error raised by pointer, kept for the test to examine and deleted when the holder ends.
class RaisedError {
 public:
  RaisedError() = default;
  explicit RaisedError(CException* error) : m_error(error) {}
  RaisedError(RaisedError&& other) noexcept : m_error(other.m_error) { other.m_error = nullptr; }
  RaisedError& operator=(RaisedError&&) = delete;
  RaisedError(const RaisedError&) = delete;
  ~RaisedError();

  explicit operator bool() const { return m_error != nullptr; }
  CException* get() const { return m_error; }
  // The error as a database error; null when it is of another kind or nothing was raised.
  CDBException* db() const;
  bool IsInvalidArgument() const;

 private:
  CException* m_error = nullptr;
};

// Runs `action` and returns what it raised (nothing when it returned).
RaisedError CatchRaised(const std::function<void()>& action);

// Whether `raised` is a database error of return code `code` and, when `errorText` is given,
// of that error text (UTF-8).
::testing::AssertionResult IsDbError(const RaisedError& raised, RETCODE code,
                                     const char* errorText = nullptr);

// The error text of an own code whose string-table entry is missing.
inline constexpr char kMissingText[] =
    "Dravon internal error: unable to load error string from resource.";

// That text as RaiseDatabaseError traces it.
inline const std::string kMissingTextTrace = std::string(kMissingText) + "\n";
