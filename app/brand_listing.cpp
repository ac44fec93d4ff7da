#include "app/brand_listing.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "db/recordset.h"

#include "framework/message_box.h"

namespace {

constexpr char kStatementText[] = "SELECT marque FROM avion ";

// "-- " and the value in the code page (a character it cannot represent becomes '?'), on a
// line of its own, flushed at once. A line that does not reach the stream's file raises
// ListingWriteError.
void WriteLine(const CString& value) {
  std::string line = "-- " + value.ToCodePage() + "\n";
  errno = 0;
  const bool written = std::fwrite(line.data(), 1, line.size(), stdout) == line.size();
  if (!written || std::fflush(stdout) != 0) {
    const int error = errno;
    std::clearerr(stdout);
    throw ListingWriteError(error != 0 ? std::strerror(error) : "the stream refused the line");
  }
}

// Read, show, write: the line of a value is written only after its box has been dismissed.
void PresentValue(CRecordset& recordset, CString& value) {
  recordset.GetFieldValue(0, value);
  ShowMessageBox(value, MB_OK, 0);
  WriteLine(value);
}

}  // namespace

bool ListBrands(CDatabase& database) {
  try {
    CRecordset recordset(&database);
    CString first;
    CString second;
    CString third;
    CString statement(kStatementText);

    // A recordset on a connection the user declined opens one itself; when the user declines
    // that too, there is nothing to read.
    if (!recordset.Open(CRecordset::staticCursor, statement, CRecordset::addOnly)) return false;
    PresentValue(recordset, first);
    recordset.MoveNext();
    PresentValue(recordset, second);
    recordset.MoveNext();
    PresentValue(recordset, third);
    recordset.Close();
  } catch (CDBException* e) {
    // The region's objects are gone by now: an open recordset was closed by its destructor.
    ShowMessageBox(e->m_strErrorText, MB_OK, 0);
    e->Delete();
  }
  return true;
}
