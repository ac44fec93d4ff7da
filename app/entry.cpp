#include "app/entry.h"

#include <cstdio>
#include <exception>
#include <string>

#include "app/brand_listing.h"
#include "app/failure_report.h"
#include "db/database.h"

int RunProgram() {
  std::string failure;
  {
    CString connect;
    CDatabase database;
    connect = kConnectText;

    bool opened = false;
    try {
      // The result is not examined: a connection the user declined stays closed, and the
      // listing's recordset then tries to open one itself.
      database.Open(nullptr, FALSE, FALSE, connect, TRUE);
      opened = true;
      if (!ListBrands(database)) {
        failure = "brand-listing: no connection: the connection dialogs were cancelled";
      }
    } catch (const ListingWriteError& e) {
      failure = std::string("brand-listing: cannot write to standard output: ") + e.what();
    } catch (CException* e) {
      failure = DescribeFailure(opened ? "the listing failed" : "cannot open the database", e);
      e->Delete();
    } catch (const std::exception& e) {
      failure = DescribeFailure(opened ? "the listing failed" : "cannot open the database", e);
    }
    // Leaving the scope destroys the connection: recordsets, connection handle and, when it
    // was the last one, the environment are released before anything is reported.
  }
  if (!failure.empty()) {
    std::fprintf(stderr, "%s\n", failure.c_str());
    return 1;
  }
  return 0;
}
