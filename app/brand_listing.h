// The body of the run: the first three brand names of the table avion.
#pragma once

class CDatabase;

// Reads and presents the brands on an open connection. A database error is shown in a message
// box and ends the listing; any other framework error is passed on to the caller.
void ListBrands(CDatabase& database);
