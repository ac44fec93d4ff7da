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
