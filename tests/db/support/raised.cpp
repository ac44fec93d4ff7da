#include "tests/db/support/raised.h"

Raised RunCatching(const std::function<void()>& action) {
  Raised raised;
  try {
    action();
  } catch (CDBException* e) {
    raised.kind = Raised::Database;
    raised.code = e->m_nReturnCode;
    raised.errorText = e->m_strErrorText.ToUtf8();
    raised.stateInfo = e->m_strStateInfo.ToUtf8();
    e->Delete();
  } catch (CMemoryException* e) {
    raised.kind = Raised::Memory;
    e->Delete();
  } catch (CInvalidArgException* e) {
    raised.kind = Raised::InvalidArgument;
    e->Delete();
  } catch (CException* e) {
    raised.kind = Raised::OtherError;
    e->Delete();
  }
  return raised;
}

bool RaisesInvalidArg(const std::function<void()>& action) {
  return RunCatching(action).kind == Raised::InvalidArgument;
}

int RaisedCode(const std::function<void()>& action) {
  const Raised raised = RunCatching(action);
  return raised.kind == Raised::Database ? raised.code : 0;
}

RaisedError::~RaisedError() {
  if (m_error != nullptr) m_error->Delete();
}

CDBException* RaisedError::db() const { return dynamic_cast<CDBException*>(m_error); }

bool RaisedError::IsInvalidArgument() const {
  return dynamic_cast<CInvalidArgException*>(m_error) != nullptr;
}

RaisedError CatchRaised(const std::function<void()>& action) {
  try {
    action();
  } catch (CException* error) {
    return RaisedError(error);
  }
  return RaisedError();
}

::testing::AssertionResult IsDbError(const RaisedError& raised, RETCODE code,
                                     const char* errorText) {
  const CDBException* e = raised.db();
  if (e == nullptr) {
    return ::testing::AssertionFailure() << (raised ? "another kind of error" : "nothing")
                                         << " was raised";
  }
  const std::string text = e->m_strErrorText.ToUtf8();
  if (e->m_nReturnCode != code || (errorText != nullptr && text != errorText)) {
    return ::testing::AssertionFailure() << "raised code " << e->m_nReturnCode << " with text \""
                                         << text << "\"";
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult IsDbError(const Raised& raised, RETCODE code, const char* errorText,
                                     const char* stateInfo) {
  if (raised.kind != Raised::Database) {
    return ::testing::AssertionFailure() << "no database error was raised (kind " << raised.kind
                                         << ")";
  }
  if (raised.code != code || (errorText != nullptr && raised.errorText != errorText) ||
      (stateInfo != nullptr && raised.stateInfo != stateInfo)) {
    return ::testing::AssertionFailure() << "raised code " << raised.code << ", error text \""
                                         << raised.errorText << "\", state info \""
                                         << raised.stateInfo << '"';
  }
  return ::testing::AssertionSuccess();
}
