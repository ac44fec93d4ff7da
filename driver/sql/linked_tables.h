// Tables linked from another Access file: the file found from where the link says it is, opened
// read-only once per connection, and the linked table's definition read there. Links to ODBC
// data sources and to files of other kinds are refused, each with what the link names.
#pragma once

#include "result.h"

#include "jet/database.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mdbodbc::sql {

class LinkedFiles {
 public:
  // The places a link's file is looked for, in order: the path as stored (a relative one taken
  // from the folder of `from`), then the stored file name in the folder of `from`.
  static std::vector<std::string> Candidates(const jet::Database& from, const std::string& stored);

  // Opens the file `link` leads to (or finds it opened already) and reads the definition of
  // the linked table, named as the link names it here. False with `error` naming the link and
  // its target when the link cannot be followed.
  bool Open(const jet::Database& from, const jet::CatalogTable& link,
            std::shared_ptr<const jet::Database>& database, jet::TableDefinition& definition,
            SqlError& error);

 private:
  std::map<std::string, std::shared_ptr<const jet::Database>> opened_;  // by the path opened
};

// A connect string without the values of its passwords (PWD=, Password=), for messages.
std::string WithoutPasswords(const std::string& connect);

}  // namespace mdbodbc::sql
