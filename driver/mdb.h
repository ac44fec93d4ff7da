// libmdb and libmdbsql headers. glib must come first: mdbtools.h includes it inside an
// extern "C" block, which C++ templates in glib's headers do not survive.
#pragma once

#include <glib.h>
#include <mdbsql.h>
#include <mdbtools.h>
