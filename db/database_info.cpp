// The driver capabilities a connection reads once, right after connecting. Nothing here
// raises: a query that is not answered leaves its default.
#include "db/database.h"
#include "framework/trace.h"

namespace {
constexpr int kInfoTextChars = 64;
constexpr int kReadOnlyChars = 10;
}  // namespace

void CDatabase::ReadConnectionInfo() {
  SQLSMALLINT length = 0;
  auto answered = [&](RETCODE rc) { return CheckResult(rc) != FALSE; };

  m_dwUpdateCapabilities = 0;

  std::uint32_t value = 0;
  if (answered(SQLGetInfoW(m_hdbc, SQL_POS_OPERATIONS, &value, sizeof value, &length)) &&
      (value & SQL_POS_UPDATE) && (value & SQL_POS_DELETE) && (value & SQL_POS_ADD)) {
    m_dwUpdateCapabilities |= kCanSetPos;
  }

  value = 0;
  if (answered(SQLGetInfoW(m_hdbc, SQL_POSITIONED_STATEMENTS, &value, sizeof value, &length)) &&
      (value & SQL_PS_POSITIONED_DELETE) && (value & SQL_PS_POSITIONED_UPDATE)) {
    m_dwUpdateCapabilities |= kCanPositionedSql;
  }

  SQLUSMALLINT txn = 0;
  if (answered(SQLGetInfoW(m_hdbc, SQL_TXN_CAPABLE, &txn, sizeof txn, &length)) &&
      txn != SQL_TC_NONE) {
    m_bTransactions = TRUE;
  }

  if (!answered(SQLGetInfoW(m_hdbc, SQL_CURSOR_COMMIT_BEHAVIOR, &m_nCursorsOnCommit,
                            sizeof m_nCursorsOnCommit, &length))) {
    m_nCursorsOnCommit = -1;
  }
  if (!answered(SQLGetInfoW(m_hdbc, SQL_CURSOR_ROLLBACK_BEHAVIOR, &m_nCursorsOnRollback,
                            sizeof m_nCursorsOnRollback, &length))) {
    m_nCursorsOnRollback = -1;
  }

  // Only the trace of a success with information matters here; the value is kept either way.
  CheckResult(SQLGetInfoW(m_hdbc, SQL_BOOKMARK_PERSISTENCE, &m_dwBookmarkPersistence,
                          sizeof m_dwBookmarkPersistence, &length));

  value = 0;
  if (!answered(SQLGetInfoW(m_hdbc, SQL_GETDATA_EXTENSIONS, &value, sizeof value, &length))) {
    value = 0;
  }
  if (value & SQL_GD_BOUND) m_dwUpdateCapabilities |= kCanGetDataBound;

  if (m_bUpdatable) {
    SQLWCHAR readOnly[kReadOnlyChars] = {};
    length = 0;
    if (answered(SQLGetInfoW(m_hdbc, SQL_DATA_SOURCE_READ_ONLY, readOnly, sizeof readOnly,
                             &length)) &&
        length == 2) {
      m_bUpdatable = readOnly[0] == u'N' ? TRUE : FALSE;
    } else {
      m_bUpdatable = FALSE;
    }
    if (!m_bUpdatable) TraceDatabase("Warning: data source is readonly.\n");
  } else {
    SQLSetConnectOptionW(m_hdbc, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY);
  }

  // A null character is no quote: written into a statement it would end the text there.
  SQLWCHAR quote[2] = {};
  length = 0;
  if (answered(SQLGetInfoW(m_hdbc, SQL_IDENTIFIER_QUOTE_CHAR, quote, sizeof quote, &length)) &&
      length == 2 && quote[0] != 0) {
    m_chIdentifierQuote = static_cast<char16_t>(quote[0]);
  } else {
    m_chIdentifierQuote = u'"';
  }

  SQLWCHAR text[kInfoTextChars] = {};
  auto textView = [&] {
    text[kInfoTextChars - 1] = 0;
    return reinterpret_cast<const char16_t*>(text);
  };
  if (answered(SQLGetInfoW(m_hdbc, SQL_DBMS_NAME, text, sizeof text, &length))) {
    TraceDatabase("DBMS: %s\n", textView());
    text[0] = 0;
    if (answered(SQLGetInfoW(m_hdbc, SQL_DBMS_VER, text, sizeof text, &length))) {
      TraceDatabase("Version: %s\n", textView());
    }
  }
  text[0] = 0;
  if (answered(SQLGetInfoW(m_hdbc, SQL_ODBC_VER, text, sizeof text, &length))) {
    TraceDatabase("ODBC Driver Manager Version: %s\n", textView());
  }
}
