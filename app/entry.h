// The program's run: connect, list the brands, close.
#pragma once

// The fixed connect text, as the program holds it: 8-bit characters.
inline constexpr char kConnectText[] =
    "ODBC;DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";

// Runs the whole program and returns its exit status: 0 after a completed run (also when the
// listing showed a database error), 1 when the connection could not be opened, a line could not
// be written to standard output or an error other than a database error ended the listing; then
// one line on standard error says why.
int RunProgram();
