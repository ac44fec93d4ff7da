// A client of the unixODBC driver manager that makes the calls of the database access layer:
// an ODBC 2 application (SQLAllocEnv) connecting with SQLDriverConnect, on the wide road
// (W entry points, as the layer) or on the narrow one.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <optional>
#include <string>
#include <vector>

namespace drivertest {

// The program's connect string; DBQ is relative to a working directory two levels below.
inline constexpr char kProgramConnect[] =
    "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";

struct Diag {
  std::string state;
  std::string message;  // UTF-8
};

std::u16string Wide(const std::string& utf8);
std::string Narrow(const std::u16string& utf16);

class OdbcSession {
 public:
  // odbc3: allocate the environment with SQLAllocHandle and ask for ODBC 3 behaviour instead
  // of the layer's SQLAllocEnv.
  explicit OdbcSession(bool wide = true, bool odbc3 = false);
  ~OdbcSession();
  OdbcSession(const OdbcSession&) = delete;
  OdbcSession& operator=(const OdbcSession&) = delete;

  bool wide() const { return wide_; }
  SQLHDBC dbc() const { return dbc_; }

  // Sets SQL_ODBC_CURSORS = SQL_CUR_USE_IF_NEEDED and connects with `completion` (and the
  // window handle `window`).
  SQLRETURN Connect(const std::string& connect, std::string* completed = nullptr,
                    SQLUSMALLINT completion = SQL_DRIVER_COMPLETE, SQLHWND window = nullptr);
  void Disconnect();

  // Diagnostics through SQLErrorW (or SQLError), every record of the handle.
  std::vector<Diag> Errors(SQLHSTMT stmt = SQL_NULL_HSTMT);

  // SQLGetInfoW for a text answer, and for 16- and 32-bit answers.
  std::optional<std::string> InfoText(SQLUSMALLINT type);
  std::optional<SQLUSMALLINT> InfoShort(SQLUSMALLINT type);
  std::optional<SQLUINTEGER> InfoInteger(SQLUSMALLINT type);

  SQLHSTMT AllocStmt();
  SQLRETURN Prepare(SQLHSTMT stmt, const std::string& text);
  SQLRETURN ExecDirect(SQLHSTMT stmt, const std::string& text);
  // SQLDescribeColW (or SQLDescribeCol): name, type and size of a column.
  struct Column {
    std::string name;
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT decimals = 0;
    SQLSMALLINT nullable = 0;
  };
  std::optional<Column> Describe(SQLHSTMT stmt, SQLUSMALLINT column);

 private:
  bool wide_;
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

// Reads a whole column of the current row as wide text with SQLGetData in pieces of
// `pieceChars` characters; nullopt for NULL. Fails the test on an unexpected answer.
std::optional<std::u16string> ReadWide(SQLHSTMT stmt, SQLUSMALLINT column, size_t pieceChars = 64);
std::optional<std::string> ReadNarrow(SQLHSTMT stmt, SQLUSMALLINT column, size_t pieceBytes = 64);
// UTF-8 either way, read on the wide road or the narrow one.
std::optional<std::string> ReadText(SQLHSTMT stmt, SQLUSMALLINT column, bool wide);

// True when the driver manager loaded its cursor library into this process.
bool CursorLibraryLoaded();

}  // namespace drivertest
