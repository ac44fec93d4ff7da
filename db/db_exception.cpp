#include "db/db_exception.h"

#include <cstdio>

#include "db/database.h"
#include "framework/string_table.h"
#include "framework/trace.h"

DRAVON_IMPLEMENT_CLASS(CDBException, CException)

namespace {

constexpr int kStateChars = 6;            // five characters and a terminator
constexpr int kMessageChars = 512;
constexpr int kMessageCapacity = 511;
constexpr int kStateSuffixChars = 50;     // room for ",Native:%ld,Origin:"
constexpr size_t kTraceLineChars = 80;

bool IsOwnCode(RETCODE code) { return code > 1000 && code < 1029; }

}  // namespace

CDBException::CDBException(RETCODE nReturnCode) : m_nReturnCode(nReturnCode) {}

CDBException::~CDBException() = default;

BOOL CDBException::GetMessageText(char16_t* buffer, UINT capacity, UINT* helpContext) const {
  if (buffer == nullptr) return FALSE;
  if (helpContext) *helpContext = 0;
  // No room even for the terminator: nothing can be delivered.
  if (capacity == 0) return FALSE;
  const size_t copied = std::min<size_t>(static_cast<size_t>(m_strErrorText.GetLength()),
                                         static_cast<size_t>(capacity) - 1);
  std::char_traits<char16_t>::copy(buffer, m_strErrorText.GetString(), copied);
  buffer[copied] = u'\0';
  buffer[capacity - 1] = u'\0';
  return TRUE;
}

void CDBException::AppendDiagnostics(CDatabase* pDatabase, HSTMT hstmt, BOOL bTrace) {
  AssertValid();
  if (pDatabase == nullptr) return;

  HENV henv = GetDatabaseProcessState().henvAllConnections;
  SQLWCHAR state[kStateChars] = {};
  SQLINTEGER native = 0;
  SQLWCHAR message[kMessageChars] = {};
  SQLSMALLINT length = 0;

  auto next = [&] {
    state[0] = 0;
    message[0] = 0;
    const RETCODE rc = SQLErrorW(henv, pDatabase->m_hdbc, hstmt, state, &native, message,
                                 kMessageCapacity, &length);
    // The texts are read up to their terminators; make sure both have one.
    state[kStateChars - 1] = 0;
    message[kMessageChars - 1] = 0;
    return rc;
  };

  for (RETCODE rc = next(); rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; rc = next()) {
    const auto* stateText = reinterpret_cast<const char16_t*>(state);
    if (std::u16string_view(stateText, TextLength(stateText)) == u"00000") break;

    CString text(reinterpret_cast<const char16_t*>(message));
    char suffix[kStateSuffixChars];
    std::snprintf(suffix, sizeof suffix, ",Native:%ld,Origin:", static_cast<long>(native));
    CString stateLine = CString(stateText) + CString(suffix);

    // Move the bracketed origin prefixes ("[vendor][component]") from the message to the
    // state line; one blank after each "]" goes with its prefix.
    while (!text.IsEmpty() && text.GetAt(0) == u'[') {
      const int close = text.Find(u']');
      if (close < 0) break;
      int end = close + 1;
      stateLine += text.Left(end);
      if (end < text.GetLength() && text.GetAt(end) == u' ') ++end;
      text = text.Mid(end);
    }
    stateLine += u'\n';

    m_strStateInfo += u"State:";
    m_strStateInfo += stateLine;
    m_strErrorText += text;
    m_strErrorText += u'\n';

    if (bTrace) {
      TraceText(text);
      TraceText(CString(u"State:") + stateLine);
    }
  }
}

void CDBException::TraceText(const char16_t* text) {
  std::u16string_view rest(text ? text : u"");
  while (rest.size() > kTraceLineChars) {
    TraceDatabase("%s\n", rest.substr(0, kTraceLineChars));
    rest.remove_prefix(kTraceLineChars);
  }
  TraceDatabase("%s\n", rest);
}

BOOL CDBException::HasState(const char16_t* literal) const {
  if (literal == nullptr || m_strStateInfo.IsEmpty()) return FALSE;
  return m_strStateInfo.Find(std::u16string_view(literal, TextLength(literal))) >= 0;
}

namespace {

CDBException* AllocateDatabaseError(RETCODE nReturnCode) {
  try {
    return new CDBException(nReturnCode);
  } catch (const std::bad_alloc&) {
    ThrowMemoryException();
  }
}

}  // namespace

CDBException* NewDatabaseError(RETCODE nReturnCode, CDatabase* pDatabase, HSTMT hstmt,
                               BOOL bTrace) {
  CDBException* error = AllocateDatabaseError(nReturnCode);
  try {
    error->AppendDiagnostics(pDatabase, hstmt, bTrace);
  } catch (CException*) {
    error->Delete();
    throw;
  }
  return error;
}

void RaiseDatabaseError(RETCODE nReturnCode, CDatabase* pDatabase, HSTMT hstmt) {
  CDBException* error = AllocateDatabaseError(nReturnCode);
  try {
    if (nReturnCode == SQL_ERROR && pDatabase != nullptr) {
      error->AppendDiagnostics(pDatabase, hstmt, TRUE);
    } else if (IsOwnCode(nReturnCode)) {
      std::u16string text;
      if (LoadStringResource(kOwnErrorStringBase + static_cast<UINT>(nReturnCode), text)) {
        error->m_strErrorText = CString(text);
      } else {
        error->m_strErrorText = kMissingErrorStringText;
      }
      TraceDatabase("%s\n", error->m_strErrorText);
    }
  } catch (CException*) {
    // Filling the texts failed (no memory): the error being raised is lost, the new one
    // travels instead.
    error->Delete();
    throw;
  }
  throw error;
}

void TraceSuccessWithInfo(CDatabase* pDatabase, HSTMT hstmt) {
  CDBException info(SQL_SUCCESS_WITH_INFO);
  TraceDatabase("Warning: ODBC Success With Info, ");
  info.AppendDiagnostics(pDatabase, hstmt, TRUE);
}
