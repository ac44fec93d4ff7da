// The body of the run: the first three brand names of the table avion.
#pragma once

class CDatabase;

// Reads and presents the brands on the connection. A database error is shown in a message box
// and ends the listing; any other framework error is passed on to the caller. Returns false,
// with nothing shown or written, when no connection could be made because the user cancelled
// the connection dialogs.
bool ListBrands(CDatabase& database);
