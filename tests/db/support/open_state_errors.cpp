#include "tests/db/support/open_state_errors.h"

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
  } catch (CInvalidArgException* e) {
    raised.kind = Raised::InvalidArgument;
    e->Delete();
  } catch (CException* e) {
    raised.kind = Raised::OtherError;
    e->Delete();
  }
  return raised;
}

std::string OwnCodeTrace() { return CString(kMissingErrorStringText).ToUtf8() + "\n"; }
