// Base types shared by the framework, the access layer and the program.
//
// BOOL, WORD, DWORD, BYTE, UINT and HWND come from the ODBC headers, which define them the way
// the ODBC API expects them on this platform (BOOL is a 32-bit int, DWORD 32 bits unsigned).
#pragma once

#include <cstdint>
#include <sqltypes.h>

// 32 bits signed; `long` is 64 bits on this platform.
typedef std::int32_t LONG;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

static_assert(sizeof(BOOL) == 4, "BOOL is a 32-bit integer");
static_assert(sizeof(DWORD) == 4, "DWORD is 32 bits");
static_assert(sizeof(WORD) == 2, "WORD is 16 bits");
static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "ODBC wide characters are UTF-16 units");
