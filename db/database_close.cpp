// Closing and releasing a connection.
#include "db/database.h"
#include "db/recordset.h"
#include "framework/trace.h"

namespace {
constexpr UINT kReportChars = 512;
}  // namespace

void CDatabase::Close() {
  AssertValid();
  {
    DatabaseLock lock;
    while (!m_listRecordsets.IsEmpty()) {
      auto* recordset = static_cast<CRecordset*>(m_listRecordsets.GetHead());
      recordset->Close();
      recordset->m_pDatabase = nullptr;
      // A recordset's Close takes itself off the list; should one fail to, it is taken off
      // here so that the loop always ends.
      if (!m_listRecordsets.IsEmpty() && m_listRecordsets.GetHead() == recordset) {
        m_listRecordsets.RemoveHead();
      }
    }
  }

  if (m_hdbc == SQL_NULL_HDBC) return;

  SQLDisconnect(m_hdbc);
  SQLFreeConnect(m_hdbc);
  m_hdbc = SQL_NULL_HDBC;

  DatabaseLock lock;
  --GetDatabaseProcessState().nAllocated;
}

void CDatabase::Free() {
  try {
    Close();
  } catch (CException* e) {
    TraceDatabase("Error: exception by CDatabase::Close() ignored in CDatabase::Free().\n");
    e->Delete();
  }

  DatabaseProcessState& state = GetDatabaseProcessState();
  DatabaseLock lock;
  if (state.henvAllConnections != SQL_NULL_HENV && state.nAllocated == 0) {
    if (SQLFreeEnv(state.henvAllConnections) != SQL_SUCCESS) {
      TraceDatabase("Error: SQLFreeEnv failure ignored in CDatabase::Free().\n");
    }
    state.henvAllConnections = SQL_NULL_HENV;
  }
}

CDatabase::~CDatabase() {
  try {
    Free();
  } catch (CException* e) {
    char16_t text[kReportChars];
    if (e->GetMessageText(text, kReportChars)) {
      Trace(TraceCategory::AppMsg, 0, "%s (%s:%d)\n%s\n", u"Exception thrown in destructor",
            __FILE__, __LINE__, text);
    } else {
      Trace(TraceCategory::AppMsg, 0, "%s (%s:%d)\n", u"Exception thrown in destructor",
            __FILE__, __LINE__);
    }
    e->Delete();
  }
  // A recordset whose Close failed is still registered; it must not go on pointing at a
  // connection that no longer exists.
  DatabaseLock lock;
  for (void* item : m_listRecordsets) static_cast<CRecordset*>(item)->m_pDatabase = nullptr;
}
