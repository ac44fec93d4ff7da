#include "linked_tables.h"

#include "text/case_fold.h"

#include <algorithm>
#include <filesystem>

namespace mdbodbc::sql {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The kind of file a link's connect string names: empty for an Access file (the string is
// empty or starts with ';'), "ODBC" or another installable format ("Excel 8.0", "Text", ...).
std::string LinkKind(const std::string& connect) {
  std::size_t end = connect.find(';');
  std::string kind = connect.substr(0, end);
  while (!kind.empty() && kind.back() == ' ') kind.pop_back();
  return kind;
}

// The folder of an opened file's path, with its trailing separator; "" for the working folder.
std::string FolderOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string WithoutPasswords(const std::string& connect) {
  std::string out;
  std::size_t start = 0;
  while (start <= connect.size()) {
    std::size_t end = connect.find(';', start);
    std::string item = connect.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::size_t equals = item.find('=');
    std::string key = item.substr(0, equals);
    if (equals != std::string::npos && (textconv::EqualFolded(key, "PWD") || textconv::EqualFolded(key, "Password"))) {
      item = key + "=...";
    }
    out += item;
    if (end == std::string::npos) break;
    out += ';';
    start = end + 1;
  }
  return out;
}

std::vector<std::string> LinkedFiles::Candidates(const jet::Database& from, const std::string& stored) {
  std::vector<std::string> places;
  if (stored.empty()) return places;
  const std::string folder = FolderOf(from.Path());
  // Access keeps Windows paths; a path in this system's form is taken as it is.
  const bool windows = stored.find('\\') != std::string::npos ||
                       (stored.size() >= 2 && stored[1] == ':');
  if (!windows) places.push_back(stored[0] == '/' ? stored : folder + stored);
  std::size_t last = stored.find_last_of("/\\");
  std::string name = last == std::string::npos ? stored : stored.substr(last + 1);
  if (name.size() >= 2 && name[1] == ':' && last == std::string::npos) name = name.substr(2);  // "C:file.mdb"
  if (!name.empty()) {
    std::string beside = folder + name;
    if (std::find(places.begin(), places.end(), beside) == places.end()) places.push_back(beside);
  }
  return places;
}

bool LinkedFiles::Open(const jet::Database& from, const jet::CatalogTable& link,
                       std::shared_ptr<const jet::Database>& database, jet::TableDefinition& definition,
                       SqlError& error) {
  const jet::LinkTarget& target = link.link;
  const std::string what = "table " + Quoted(link.name) + " is a link to " +
                           (target.table.empty() ? std::string("a table") : "table " + Quoted(target.table));
  const std::string kind = LinkKind(target.connect);
  if (target.odbc || textconv::EqualFolded(kind, "ODBC")) {
    error = {"HY000", what + " of the ODBC data source " + Quoted(WithoutPasswords(target.connect)) +
                          ", which this driver does not open"};
    return false;
  }
  if (!kind.empty()) {
    error = {"HY000", what + " in " + Quoted(target.file) + ", a file of kind " + Quoted(kind) +
                          ", which this driver does not read"};
    return false;
  }
  if (target.file.empty() || target.table.empty()) {
    error = {"HY000", what + ", but the link names no " + (target.file.empty() ? "file" : "table")};
    return false;
  }
  std::string tried;
  for (const std::string& place : Candidates(from, target.file)) {
    auto found = opened_.find(place);
    if (found == opened_.end()) {
      std::error_code ignored;
      if (!std::filesystem::exists(place, ignored)) {
        tried += (tried.empty() ? "" : ", ") + Quoted(place) + " (no such file)";
        continue;
      }
      std::string reason;
      std::unique_ptr<jet::Database> opened = jet::Database::Open(place, reason);
      if (!opened) {
        error = {"HY000", what + " in " + Quoted(target.file) + ", found as " + Quoted(place) +
                              ", which cannot be opened: " + reason};
        return false;
      }
      found = opened_.emplace(place, std::move(opened)).first;
    }
    std::string reason;
    if (!found->second->ReadDefinition(target.table, definition, reason)) {
      error = {"42S02", what + " in " + Quoted(place) + ": " + reason};
      return false;
    }
    definition.name = link.name;
    database = found->second;
    return true;
  }
  error = {"42S02", what + " in " + Quoted(target.file) + ", which is not found: looked for " + tried};
  return false;
}

}  // namespace mdbodbc::sql
