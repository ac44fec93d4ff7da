// The body of the run: the first three brand names of the table avion.
#pragma once

#include <stdexcept>

class CDatabase;

// Raised when a line cannot be written to standard output; what() names the system's reason.
// The listing ends there: a lost line must not pass for a listed brand.
class ListingWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads and presents the brands on the connection. A database error is shown in a message box
// and ends the listing; any other framework error, and a failed write (ListingWriteError), is
// passed on to the caller. Returns false, with nothing shown or written, when no connection
// could be made because the user cancelled the connection dialogs.
bool ListBrands(CDatabase& database);
