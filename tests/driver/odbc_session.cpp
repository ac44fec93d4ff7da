#include "odbc_session.h"

#include "tests/support/process_libraries.h"
#include "text/utf.h"

#include <gtest/gtest.h>

namespace drivertest {

std::u16string Wide(const std::string& utf8) { return textconv::Utf8ToUtf16(utf8); }

std::string Narrow(const std::u16string& utf16) { return textconv::Utf16ToUtf8(utf16); }

namespace {

SQLWCHAR* W(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

}  // namespace

OdbcSession::OdbcSession(bool wide, bool odbc3) : wide_(wide) {
  if (odbc3) {
    EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_SUCCESS);
    EXPECT_EQ(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
              SQL_SUCCESS);
  } else {
    EXPECT_EQ(SQLAllocEnv(&env_), SQL_SUCCESS);
  }
  EXPECT_EQ(SQLAllocConnect(env_, &dbc_), SQL_SUCCESS);
}

OdbcSession::~OdbcSession() {
  Disconnect();
  if (dbc_ != SQL_NULL_HDBC) SQLFreeConnect(dbc_);
  if (env_ != SQL_NULL_HENV) SQLFreeEnv(env_);
}

SQLRETURN OdbcSession::Connect(const std::string& connect, std::string* completed,
                               SQLUSMALLINT completion, SQLHWND window) {
  SQLRETURN rc = wide_ ? SQLSetConnectOptionW(dbc_, SQL_ODBC_CURSORS, SQL_CUR_USE_IF_NEEDED)
                       : SQLSetConnectOption(dbc_, SQL_ODBC_CURSORS, SQL_CUR_USE_IF_NEEDED);
  EXPECT_EQ(rc, SQL_SUCCESS);
  SQLSMALLINT length = 0;
  if (wide_) {
    std::u16string in = Wide(connect);
    std::u16string out(1024, u'\0');
    rc = SQLDriverConnectW(dbc_, window, W(in), SQL_NTS, W(out), 1024, &length, completion);
    if (completed != nullptr) *completed = Narrow(out.substr(0, out.find(u'\0')));
  } else {
    std::string in = connect;
    std::string out(1024, '\0');
    rc = SQLDriverConnect(dbc_, window, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS,
                          reinterpret_cast<SQLCHAR*>(out.data()), 1024, &length, completion);
    if (completed != nullptr) *completed = out.substr(0, out.find('\0'));
  }
  connected_ = SQL_SUCCEEDED(rc);
  return rc;
}

void OdbcSession::Disconnect() {
  if (connected_) SQLDisconnect(dbc_);
  connected_ = false;
}

std::vector<Diag> OdbcSession::Errors(SQLHSTMT stmt) {
  std::vector<Diag> result;
  for (int guard = 0; guard < 20; ++guard) {
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    Diag diag;
    SQLRETURN rc;
    if (wide_) {
      SQLWCHAR state[6] = {};
      SQLWCHAR message[1024] = {};
      rc = SQLErrorW(env_, stmt == SQL_NULL_HSTMT ? dbc_ : SQL_NULL_HDBC, stmt, state, &native,
                     message, 1024, &length);
      diag.state = Narrow(std::u16string(reinterpret_cast<char16_t*>(state)));
      diag.message = Narrow(std::u16string(reinterpret_cast<char16_t*>(message)));
    } else {
      SQLCHAR state[6] = {};
      SQLCHAR message[1024] = {};
      rc = SQLError(env_, stmt == SQL_NULL_HSTMT ? dbc_ : SQL_NULL_HDBC, stmt, state, &native,
                    message, 1024, &length);
      diag.state = reinterpret_cast<char*>(state);
      diag.message = reinterpret_cast<char*>(message);
    }
    if (!SQL_SUCCEEDED(rc)) break;
    result.push_back(diag);
  }
  return result;
}

std::optional<std::string> OdbcSession::InfoText(SQLUSMALLINT type) {
  SQLSMALLINT length = 0;
  if (wide_) {
    SQLWCHAR buffer[256] = {};
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, type, buffer, sizeof buffer, &length))) return std::nullopt;
    EXPECT_EQ(length % 2, 0);
    return Narrow(std::u16string(reinterpret_cast<char16_t*>(buffer), static_cast<size_t>(length) / 2));
  }
  SQLCHAR buffer[256] = {};
  if (!SQL_SUCCEEDED(SQLGetInfo(dbc_, type, buffer, sizeof buffer, &length))) return std::nullopt;
  return std::string(reinterpret_cast<char*>(buffer), static_cast<size_t>(length));
}

std::optional<SQLUSMALLINT> OdbcSession::InfoShort(SQLUSMALLINT type) {
  SQLUSMALLINT value = 0xBEEF;
  SQLSMALLINT length = 0;
  SQLRETURN rc = wide_ ? SQLGetInfoW(dbc_, type, &value, sizeof value, &length)
                       : SQLGetInfo(dbc_, type, &value, sizeof value, &length);
  if (!SQL_SUCCEEDED(rc)) return std::nullopt;
  return value;
}

std::optional<SQLUINTEGER> OdbcSession::InfoInteger(SQLUSMALLINT type) {
  SQLUINTEGER value = 0xDEADBEEF;
  SQLSMALLINT length = 0;
  SQLRETURN rc = wide_ ? SQLGetInfoW(dbc_, type, &value, sizeof value, &length)
                       : SQLGetInfo(dbc_, type, &value, sizeof value, &length);
  if (!SQL_SUCCEEDED(rc)) return std::nullopt;
  return value;
}

SQLHSTMT OdbcSession::AllocStmt() {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  EXPECT_EQ(SQLAllocStmt(dbc_, &stmt), SQL_SUCCESS);
  return stmt;
}

SQLRETURN OdbcSession::Prepare(SQLHSTMT stmt, const std::string& text) {
  if (wide_) {
    std::u16string w = Wide(text);
    return SQLPrepareW(stmt, W(w), SQL_NTS);
  }
  std::string n = text;
  return SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(n.data()), SQL_NTS);
}

SQLRETURN OdbcSession::ExecDirect(SQLHSTMT stmt, const std::string& text) {
  if (wide_) {
    std::u16string w = Wide(text);
    return SQLExecDirectW(stmt, W(w), SQL_NTS);
  }
  std::string n = text;
  return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(n.data()), SQL_NTS);
}

std::optional<OdbcSession::Column> OdbcSession::Describe(SQLHSTMT stmt, SQLUSMALLINT column) {
  Column c;
  SQLSMALLINT nameLength = 0;
  SQLRETURN rc;
  if (wide_) {
    SQLWCHAR name[257] = {};
    rc = SQLDescribeColW(stmt, column, name, 256, &nameLength, &c.type, &c.size, &c.decimals,
                         &c.nullable);
    c.name = Narrow(std::u16string(reinterpret_cast<char16_t*>(name)));
  } else {
    SQLCHAR name[257] = {};
    rc = SQLDescribeCol(stmt, column, name, 256, &nameLength, &c.type, &c.size, &c.decimals,
                        &c.nullable);
    c.name = reinterpret_cast<char*>(name);
  }
  if (!SQL_SUCCEEDED(rc)) return std::nullopt;
  return c;
}

namespace {

// A whole column in pieces of `piece` characters of C type `cType`; nullopt for NULL.
template <typename Char>
std::optional<std::basic_string<Char>> ReadPieces(SQLHSTMT stmt, SQLUSMALLINT column, SQLSMALLINT cType,
                                                  size_t piece) {
  std::basic_string<Char> value;
  std::basic_string<Char> buffer(piece + 1, Char{});
  for (int guard = 0; guard < 1000000; ++guard) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt, column, cType, buffer.data(),
                              static_cast<SQLLEN>(buffer.size() * sizeof(Char)), &indicator);
    if (rc == SQL_NO_DATA) break;
    EXPECT_TRUE(SQL_SUCCEEDED(rc)) << "SQLGetData answered " << rc;
    if (!SQL_SUCCEEDED(rc) || indicator == SQL_NULL_DATA) return std::nullopt;
    value.append(buffer.data(), std::min<size_t>(static_cast<size_t>(indicator) / sizeof(Char), piece));
    if (rc == SQL_SUCCESS) break;
  }
  return value;
}

}  // namespace

std::optional<std::u16string> ReadWide(SQLHSTMT stmt, SQLUSMALLINT column, size_t pieceChars) {
  return ReadPieces<char16_t>(stmt, column, SQL_C_WCHAR, pieceChars);
}

std::optional<std::string> ReadNarrow(SQLHSTMT stmt, SQLUSMALLINT column, size_t pieceBytes) {
  return ReadPieces<char>(stmt, column, SQL_C_CHAR, pieceBytes);
}

std::optional<std::string> ReadText(SQLHSTMT stmt, SQLUSMALLINT column, bool wide) {
  if (!wide) return ReadNarrow(stmt, column);
  std::optional<std::u16string> value = ReadWide(stmt, column);
  return value ? std::optional<std::string>(Narrow(*value)) : std::nullopt;
}

bool CursorLibraryLoaded() { return testsupport::LibraryMapped("libodbccr"); }

}  // namespace drivertest
