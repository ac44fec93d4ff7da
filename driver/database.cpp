#include "database.h"

#include "file_check.h"
#include "quiet_stdio.h"

namespace mdbodbc {
namespace {

// The first line that libmdb printed, to complete a reason.
std::string FirstLine(const std::string& text) {
  size_t end = text.find('\n');
  std::string line = text.substr(0, end);
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  return line;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, std::string& reason) {
  FileCheck check = CheckDatabaseFile(path);
  if (check.problem) {
    reason = *check.problem;
    return nullptr;
  }
  QuietStdio quiet;
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (mdb == nullptr) {
    std::string said = FirstLine(quiet.Captured());
    reason = "libmdb cannot open it" + (said.empty() ? std::string() : " (" + said + ")");
    return nullptr;
  }
  std::unique_ptr<Database> database(new Database(mdb));
  GPtrArray* catalog = mdb_read_catalog(mdb, MDB_TABLE);
  if (catalog == nullptr || mdb->num_catalog == 0) {
    std::string said = FirstLine(quiet.Captured());
    reason = "its catalog cannot be read" + (said.empty() ? std::string() : " (" + said + ")");
    return nullptr;
  }
  return database;
}

Database::~Database() {
  QuietStdio quiet;
  mdb_close(mdb_);
}

std::string Database::EngineVersionText() const {
  switch (mdb_->f->jet_version) {
    case MDB_VER_JET3: return "03.00.0000";
    case MDB_VER_JET4: return "04.00.0000";
    case MDB_VER_ACCDB_2007: return "12.00.0000";
    case MDB_VER_ACCDB_2010: return "14.00.0000";
    default: return "16.00.0000";
  }
}

}  // namespace mdbodbc
