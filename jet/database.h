// An Access database file (Jet 3, Jet 4, and .accdb files of the same structure), read-only.
// A Database may be shared by several threads and scans at once: it never changes after Open,
// and every scan owns its page buffers.
#pragma once

#include "properties.h"
#include "index_page_cache.h"
#include "key_range.h"
#include "scan.h"
#include "table_definition.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

enum class Version : std::uint8_t { Jet3, Jet4, Ace };

// How the pages of a file are stored: plain, encoded the Jet way (RC4 keyed by the page number,
// no password needed), or encrypted with a password in one of the forms of Access 2007 and
// later (RC4 CryptoAPI, AES in the standard form, AES in the agile form).
enum class Encryption : std::uint8_t { None, JetEncoding, Rc4CryptoApi, Standard, Agile };

struct OpenOptions {
  // The database password, or the password the file is encrypted with (UTF-8). A file without
  // either ignores it.
  std::optional<std::string> password;
};

// Why a file could not be opened: a password it needs was not given, or the one given does
// not open it; or anything else (a file that cannot be read, or is not a database this reader
// can read).
enum class OpenFailure : std::uint8_t { None, Unreadable, PasswordNeeded, PasswordWrong };

// Where the rows of a linked table are, as the catalog keeps it (UTF-8).
struct LinkTarget {
  bool odbc = false;    // an ODBC data source, rather than a file
  std::string file;     // the other file's path as Access stored it (MSysObjects.Database)
  std::string connect;  // "ODBC;DSN=...", or the settings of a file of another kind (Connect)
  std::string table;    // the table's name there (ForeignName)
};

// One object of the catalog (MSysObjects) that names a table.
struct CatalogTable {
  std::string name;  // UTF-8
  std::uint32_t definitionPage = 0;
  bool system = false;  // MSys* and other hidden system tables
  bool linked = false;  // a link to a table elsewhere: no definition in this file
  LinkTarget link;      // linked tables only
};

class Database {
 public:
  virtual ~Database() = default;
  // Opens a file and reads its header and catalog. Null with `error` set when the file is not
  // a database this reader can read, or its catalog is broken.
  static std::unique_ptr<Database> Open(const std::string& path, std::string& error);
  // The same with a password; `failure`, when given, says why a file was not opened.
  static std::unique_ptr<Database> Open(const std::string& path, const OpenOptions& options,
                                        std::string& error, OpenFailure* failure = nullptr);
  // The same through a descriptor open for reading, which it takes over (closed with the
  // database, or at once on failure); `path` names the file, for what is found beside it.
  static std::unique_ptr<Database> OpenDescriptor(int fd, const std::string& path,
                                                  const OpenOptions& options, std::string& error,
                                                  OpenFailure* failure = nullptr);
  // The same over bytes in memory (tests and fuzzing).
  static std::unique_ptr<Database> OpenBytes(std::string bytes, std::string& error);
  static std::unique_ptr<Database> OpenBytes(std::string bytes, const OpenOptions& options,
                                             std::string& error,
                                             OpenFailure* failure = nullptr);

  // The path the file was opened from, made absolute; empty for bytes in memory.
  virtual const std::string& Path() const = 0;
  virtual Version FileVersion() const = 0;
  virtual int CodePage() const = 0;             // the code page of Jet 3 text
  virtual std::uint32_t PageCount() const = 0;
  virtual Encryption FileEncryption() const = 0;
  virtual const std::vector<CatalogTable>& Tables() const = 0;

  // Reads the definition of a table, its name compared without regard to letter case.
  // False with `error` set when there is no such table or its definition is broken.
  virtual bool ReadDefinition(std::string_view table, TableDefinition& out,
                              std::string& error) const = 0;
  // Reads the properties Access keeps for a table (or link) and its columns, the name compared
  // without regard to letter case. False with `error` set when there is no such table or its
  // properties are broken.
  virtual bool ReadProperties(std::string_view table, ObjectProperties& out,
                              std::string& error) const = 0;
  // Starts a scan of a table whose definition this database gave.
  virtual std::unique_ptr<Scan> StartScan(const TableDefinition& table) const = 0;

  // Starts a pass over the rows of `table` in the order of its index `index` (a position in
  // table.indexes), ascending or, with `descending`, from the last key back, limited to the
  // keys of `range` (bounds on an index with text keys only in Jet 4 files, whose text keys
  // are known; elsewhere such a pass fails at once). Each entry is checked on the way: index pages must be the table's, their
  // entries in order, and the row an entry leads to must hold the entry's key (where the key's
  // form is known: not Jet 3 text, nor text with characters index_key.h has no code for). A
  // broken index ends the pass with Error() set, never with rows it does not hold; a pass over
  // the whole index also checks that it met every row of the table.
  // `cache`, when given, keeps the pages read for later walks (see IndexPageCache); it must
  // outlive the scan.
  virtual std::unique_ptr<Scan> StartIndexScan(const TableDefinition& table, std::size_t index,
                                               const KeyRange& range, bool descending = false,
                                               IndexPageCache* cache = nullptr) const = 0;

  // The number of rows of `table`, counted from the row tables of its data pages (the pages its
  // usage map lists), without reading the rows; the definition's stored count is not trusted.
  // False with `error` when the map or a page is broken. The count is kept: later calls for the
  // table answer at once.
  virtual bool CountRows(const TableDefinition& table, std::uint64_t& count,
                         std::string& error) const = 0;
};

}  // namespace jet
