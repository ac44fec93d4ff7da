// Opening a connection: the connect string, the connection handle, the driver connect and the
// conformance checks.
#include "db/database.h"
#include "framework/prompt_owner.h"
#include "framework/trace.h"

namespace {
constexpr SQLSMALLINT kConnectOutChars = 1024;
}  // namespace

BOOL CDatabase::Open(const char16_t* dataSourceName, BOOL exclusive, BOOL readOnly,
                     const char16_t* connect, BOOL useCursorLibrary) {
  CString text(connect);
  if (text.StartsWithNoCase(u"ODBC;")) text = text.Mid(5);
  if (dataSourceName != nullptr && *dataSourceName != u'\0') {
    text += u";DSN=";
    text += dataSourceName;
  }
  DWORD options = 0;
  if (exclusive) options |= exclusiveAccess;
  if (readOnly) options |= readOnlyAccess;
  if (useCursorLibrary) options |= withCursorLibrary;
  return OpenWithOptions(text, options);
}

BOOL CDatabase::OpenWithOptions(const char16_t* connect, DWORD options) {
  if ((options & noDriverPrompt) && (options & alwaysDriverPrompt)) ThrowInvalidArgException();

  m_bUpdatable = (options & readOnlyAccess) ? FALSE : TRUE;
  try {
    m_strConnect = connect;
    AllocateConnection(options);
    if (!ConnectDriver(options)) return FALSE;
    CheckConformance();
    ReadConnectionInfo();
  } catch (CException*) {
    // Diagnostics were read while raising; now the handles can go.
    Free();
    throw;
  }
  return TRUE;
}

void CDatabase::AllocateConnection(DWORD options) {
  if (m_hdbc != SQL_NULL_HDBC) return;

  DatabaseProcessState& state = GetDatabaseProcessState();
  {
    DatabaseLock lock;
    if (state.henvAllConnections == SQL_NULL_HENV) {
      RETCODE rc = SQLAllocEnv(&state.henvAllConnections);
      if (!CheckResult(rc)) {
        state.henvAllConnections = SQL_NULL_HENV;
        lock.Unlock();
        ThrowMemoryException();
      }
    }
    RETCODE rc = SQLAllocConnect(state.henvAllConnections, &m_hdbc);
    if (!CheckResult(rc)) {
      m_hdbc = SQL_NULL_HDBC;
      lock.Unlock();
      RaiseError(rc);
    }
    ++state.nAllocated;
  }

  RETCODE rc = SQLSetConnectOptionW(m_hdbc, SQL_LOGIN_TIMEOUT, m_dwLoginTimeout);
  if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
    TraceDatabase("Warning: Failure setting login timeout.\n");
  }
  if (!m_bUpdatable) {
    rc = SQLSetConnectOptionW(m_hdbc, SQL_ACCESS_MODE, SQL_MODE_READ_ONLY);
    if (rc != SQL_SUCCESS && rc != SQL_SUCCESS_WITH_INFO) {
      TraceDatabase("Warning: Failure setting read only access mode.\n");
    }
  }
  if (options & withCursorLibrary) {
    // The cursor library is loaded only for a driver that cannot scroll by itself: unixODBC's
    // cursor library fetches only through bound columns and serves no SQLGetData on unbound
    // ones, and the program binds none.
    SQLSetConnectOptionW(m_hdbc, SQL_ODBC_CURSORS, SQL_CUR_USE_IF_NEEDED);
    m_bCountAddedRows = TRUE;
  }
}

BOOL CDatabase::ConnectDriver(DWORD options) {
  HWND disabled = nullptr;
  HWND owner = FindPromptOwner(nullptr, &disabled);
  if (owner == nullptr) owner = GetDesktopWindow();

  SQLUSMALLINT completion = SQL_DRIVER_COMPLETE;
  if (options & noDriverPrompt) {
    completion = SQL_DRIVER_NOPROMPT;
  } else if (options & alwaysDriverPrompt) {
    completion = SQL_DRIVER_PROMPT;
  }

  SQLWCHAR out[kConnectOutChars] = {};
  SQLSMALLINT outLength = 0;
  RETCODE rc = SQLDriverConnectW(
      m_hdbc, owner, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(m_strConnect.GetString())),
      SQL_NTS, out, kConnectOutChars, &outLength, completion);

  if (disabled != nullptr) EnableWindow(disabled, TRUE);

  if (rc == SQL_NO_DATA_FOUND) {
    // The user cancelled the driver's dialog.
    Free();
    return FALSE;
  }
  if (!CheckResult(rc)) RaiseError(rc);

  out[kConnectOutChars - 1] = 0;
  m_strConnect = CString(u"ODBC;") + CString(reinterpret_cast<const char16_t*>(out));
  return TRUE;
}

void CDatabase::CheckConformance() {
  SQLSMALLINT level = 0;
  SQLSMALLINT length = 0;
  RETCODE rc = SQLGetInfoW(m_hdbc, SQL_ODBC_API_CONFORMANCE, &level, sizeof level, &length);
  if (!CheckResult(rc)) RaiseError(rc);
  if (level < SQL_OAC_LEVEL1) RaiseError(dbErrorApiConformanceLevel);

  level = 0;
  rc = SQLGetInfoW(m_hdbc, SQL_ODBC_SQL_CONFORMANCE, &level, sizeof level, &length);
  if (!CheckResult(rc)) RaiseError(rc);
  if (level < SQL_OSC_MINIMUM) RaiseError(dbErrorSqlConformanceLevel);
}
