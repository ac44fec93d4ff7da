/* The least a C program does to print what brand-listing prints, as the benchmark's yardstick:
 * connect with the program's connect string, run its one statement, fetch three rows and read
 * each with SQLGetData, write "-- <value>" lines, disconnect. Like the program it runs two
 * folders below bd2.mdb and takes no arguments. Exit status 1 when a call fails. */
#include <sql.h>
#include <sqlext.h>
#include <stdio.h>

static const char kConnect[] = "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";
static const char kStatement[] = "SELECT marque FROM avion ";

int main(void) {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  int status = 1;

  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return 1;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) goto free_env;
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, NULL, (SQLCHAR*)kConnect, SQL_NTS, NULL, 0, NULL,
                                      SQL_DRIVER_NOPROMPT))) {
    fprintf(stderr, "first_rows_client: cannot connect\n");
    goto free_dbc;
  }
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt))) goto disconnect;
  if (!SQL_SUCCEEDED(SQLExecDirect(stmt, (SQLCHAR*)kStatement, SQL_NTS))) {
    fprintf(stderr, "first_rows_client: the statement failed\n");
    goto free_stmt;
  }
  for (int row = 0; row < 3; ++row) {
    char value[256];
    SQLLEN length = 0;
    if (!SQL_SUCCEEDED(SQLFetch(stmt))) goto free_stmt;
    if (!SQL_SUCCEEDED(SQLGetData(stmt, 1, SQL_C_CHAR, value, sizeof value, &length))) {
      goto free_stmt;
    }
    printf("-- %s\n", length == SQL_NULL_DATA ? "" : value);
  }
  status = fflush(stdout) == 0 ? 0 : 1;

free_stmt:
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
disconnect:
  SQLDisconnect(dbc);
free_dbc:
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
free_env:
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return status;
}
