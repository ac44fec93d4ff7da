#include "db/database.h"

#include "framework/dump_context.h"

DRAVON_IMPLEMENT_CLASS(CDatabase, CObject)

namespace {
constexpr DWORD kDefaultTimeoutSeconds = 15;
constexpr DWORD kNoQueryTimeout = 0xFFFFFFFF;
}  // namespace

DatabaseProcessState& GetDatabaseProcessState() {
  return ProcessRecord<DatabaseProcessState>::Get();
}

// The members that only an open reads from the driver start with the answers of a driver that
// told nothing: the '"' quote, unknown cursor behaviour, no capabilities.
CDatabase::CDatabase()
    : m_hdbc(SQL_NULL_HDBC),
      m_bTransactionPending(FALSE),
      m_bTrimTrailingBlanks(FALSE),
      m_bCountAddedRows(FALSE),
      m_bForUpdateClause(FALSE),
      m_chIdentifierQuote(u'"'),
      m_listRecordsets(10),
      m_bUpdatable(FALSE),
      m_bTransactions(FALSE),
      m_nCursorsOnCommit(-1),
      m_nCursorsOnRollback(-1),
      m_dwUpdateCapabilities(0),
      m_dwBookmarkPersistence(0),
      m_dwLoginTimeout(kDefaultTimeoutSeconds),
      m_hstmtCancel(SQL_NULL_HSTMT),
      m_dwQueryTimeout(kDefaultTimeoutSeconds) {}

void CDatabase::AssertValid() const { CObject::AssertValid(); }

void CDatabase::Dump(CDumpContext& dc) const {
  CObject::Dump(dc);
  dc << "m_hdbc = " << static_cast<const void*>(m_hdbc);
  dc << "\nm_strConnect = " << m_strConnect;
  dc << "\nm_bUpdatable = " << m_bUpdatable;
  dc << "\nm_bTransactions = " << m_bTransactions;
  dc << "\nm_bTransactionPending = " << m_bTransactionPending;
  dc << "\nm_dwLoginTimeout = " << m_dwLoginTimeout;
  dc << "\nm_dwQueryTimeout = " << m_dwQueryTimeout;
  if (dc.GetDepth() > 0) {
    const DatabaseProcessState& state = GetDatabaseProcessState();
    dc << "\nwith env:";
    dc << "\n\tnAllocated = " << state.nAllocated;
    dc << "\n\thenvAllConnections = " << static_cast<const void*>(state.henvAllConnections);
  }
  dc << "\n";
}

void CDatabase::ApplyStatementOptions(HSTMT hstmt) {
  if (m_dwQueryTimeout == kNoQueryTimeout) return;
  RETCODE rc = SQLSetStmtOption(hstmt, SQL_QUERY_TIMEOUT, m_dwQueryTimeout);
  // A driver that refuses the timeout is not asked again for this connection.
  if (!CheckResult(rc)) m_dwQueryTimeout = kNoQueryTimeout;
}

// Parameters are bound by the direct execution of statements, which this layer does not offer.
void CDatabase::BindParameters(HSTMT /*hstmt*/) {}
