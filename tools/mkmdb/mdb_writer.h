// Writes Access 2000 format (Jet 4) database files holding user tables with rows, around the
// system part (system tables, catalog objects, indexes, access-control entries, pages 0 and 1)
// that Access writes in a new file.
//
// Column types and the text form of their values (a Value holds that text as UTF-8):
//   Text(n)   any text of at most n characters, n from 1 to 255. Characters are counted in
//             UTF-16 code units (a character outside the BMP counts as two). U+0000 is refused.
//   Memo      any text whose stored form is at most 16 MB (8 million characters; 1 MB of text
//             is fine). U+0000 is refused.
//   Hyperlink a Memo column marked as holding links, written display#address#subaddress (any
//             part may be empty, e.g. "#https://example.org#"); the text is stored as given.
//   Byte      a decimal integer from 0 to 255.
//   Integer   a decimal integer from -32768 to 32767.
//   Long      a decimal integer from -2147483648 to 2147483647, e.g. "-42". No blanks, no '+'.
//   AutoNumber a Long that numbers the rows: NULL takes the next number (one more than the
//             largest number so far, 1 for the first row), a given number is kept. The table's
//             definition keeps the largest number given, from which Access goes on counting.
//   Single    a finite decimal number, e.g. "3.25", stored as the nearest 32-bit float.
//   Double    a finite decimal number, e.g. "3.25", "-1e-3", "12". No blanks, no '+'.
//   Currency  a decimal number with at most 4 digits after the point, from
//             -922337203685477.5808 to 922337203685477.5807, e.g. "-12.5". Stored exactly, as
//             the 64-bit count of ten-thousandths; no exponent.
//   Decimal(p,s) a decimal number with at most s digits after the point and p - s before it,
//             p from 1 to 28, s from 0 to p; e.g. "-123.456" in decimal(18,6). Stored exactly.
//   DateTime  "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "YYYY-MM-DD HH:MM:SS.fff" (1 to 3 digits
//             of the second's fraction; 'T' may replace the blank), years 100 to 9999, stored as
//             the usual day count from 1899-12-30 with the time as its fraction.
//   YesNo     "1", "0", "true", "false", "yes" or "no" (any letter case). Cannot be NULL: the
//             file format keeps a Yes/No value in the bit that marks NULL in other columns.
//   Guid      "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in hexadecimal digits of any case (the
//             braces may be left out); Access calls the type Replication ID.
//   Binary(n) hexadecimal digits, two per byte, at most n bytes (n from 1 to 510), e.g. "00ff10".
//   Ole       hexadecimal digits, two per byte, up to 16 MB; stored like memo text (an OLE
//             object's bytes, taken as they are).
// Numbers have no blanks, no '+' and no thousands separators; Currency and Decimal take a '.'
// only, never an exponent.
// std::nullopt is NULL; an empty string is an empty value, distinct from NULL, for Text, Memo
// and Hyperlink, and for Binary and Ole (zero bytes); for the other types it does not parse.
//
// Names of tables and columns: 1 to 64 characters, no control characters, none of . ! ` [ ],
// not starting with a blank, unique within their table (or file) in any letter case of any
// script ("Été" and "ÉTÉ", "Σ" and "σ" are the same name; "Été" and "Ete" are not); the
// system tables every file holds (MSysObjects, MSysACEs, MSysQueries, MSysRelationships) take
// their names. A table may hold 1 to 255 columns; a row's stored form must fit a page (4080 bytes), memo values
// being moved out of the row onto their own pages when it would not fit otherwise.
//
// Tables and columns may carry the properties Access shows in a table's design: a Description
// (at most 255 characters), a column's DefaultValue (an expression as Access keeps it, at most
// 255 characters: 0, "text" in double quotes, Date()) and Required. They are stored in the
// table's catalog row (LvProp) as Access stores them; the writer neither checks a default
// against its column nor enforces Required on the rows given.
//
// Relationships go into MSysRelationships, a row per pair of columns, as Access keeps them;
// the hidden foreign-key indexes Access adds to both tables for an enforced relationship are
// not written. Links name a table of another Access file or of an ODBC data source; they have
// no rows here.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace mkmdb {

enum class ColumnType {
  Text, Memo, Long, Double, DateTime, YesNo,
  Byte, Integer, Single, Currency, Decimal, Guid, Binary, Ole, AutoNumber, Hyperlink,
};

struct ColumnSpec {
  std::string name;
  ColumnType type;
  int size = 0;       // Text: its size in characters (1..255); Binary: in bytes (1..510)
  int precision = 0;  // Decimal: digits in all (1..28)
  int scale = 0;      // Decimal: digits after the point (0..precision)
  std::string description = {};                   // empty: none
  std::optional<std::string> default_value = {};  // nullopt: none
  bool required = false;
};

using Value = std::optional<std::string>;  // UTF-8 text as described above; nullopt = NULL

// One column of an index's key.
struct IndexColumn {
  std::string name;  // a column of the table (letter case ignored)
  bool descending = false;
};

// An index of a user table, written as Access writes one: an entry per row, sorted by the key
// columns in turn. Its name follows the rules for names below and is unique within its table.
// Key columns: 1 to 10 of the table's columns, each at most once, of any type but Memo,
// Hyperlink, OLE and Binary. A key takes at most 1024 bytes in the index (a Text value about
// 2 bytes a character, 3 beyond ASCII letters and digits). A table has at most 32 indexes.
struct IndexSpec {
  std::string name;
  std::vector<IndexColumn> columns;
  bool unique = false;       // no two rows with the same key (keys holding a NULL are exempt)
  bool primary_key = false;  // unique, and no key column NULL; one per table
};

struct TableSpec {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::vector<std::vector<Value>> rows;
  std::string description = {};  // empty: none
  std::vector<IndexSpec> indexes{};
};

// A relationship: the foreign table's columns refer to the primary table's, pair by pair.
struct RelationshipSpec {
  std::string name;
  std::string foreign_table;
  std::vector<std::string> foreign_columns;
  std::string primary_table;
  std::vector<std::string> primary_columns;
  bool cascade_updates = false;
  bool cascade_deletes = false;
  bool enforced = true;
};

// A linked table: `table` of the Access file `file` (the path as Access keeps it, e.g.
// C:\data\other.mdb, or other.mdb beside this file); of an ODBC data source when `connect`
// starts with "ODBC;" ("ODBC;DSN=...;", no file); of a file of another kind when `connect`
// names one ("Excel 8.0;HDR=YES;", with `file`).
struct LinkSpec {
  std::string name;
  std::string file;
  std::string table;
  std::string connect = {};
};

// What a file holds besides its tables.
struct CatalogSpec {
  std::vector<RelationshipSpec> relationships;
  std::vector<LinkSpec> links;
};

// Every refusal: bad input (naming the row or line and the column), bad names, I/O failures.
class WriterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The output path names something other than a regular file or a new name (a folder, a device,
// a FIFO, a socket), which the writer leaves untouched.
class DestinationError : public WriterError {
 public:
  using WriterError::WriterError;
};

// How a written file is protected, as Access protects its files:
//   encode      Jet 4's page encoding: every page but the header is RC4 keyed by a random
//               database key and the page number; any reader of the format can undo it.
//   password    with no encryption: the database password of the header (at most 20 UTF-16
//               code units), which readers ask for but which hides nothing; an Access 2007
//               file has none of its own (its password encrypts it). With an encryption: the
//               password the pages are encrypted with (1 to 255 UTF-16 code units).
//   encryption  the Office encryption of Access 2007 and later: RC4 CryptoAPI (40-bit RC4 and
//               SHA-1, as Access 2007 writes it), the standard form (AES-128, SHA-1), or the
//               agile form (AES-128 with SHA-1 as Access 2010 writes it, AES-256 with SHA-512
//               as later versions do). Excludes `encode`.
//   accdb       the header names the file an Access 2007 (.accdb) file instead of Jet 4; the
//               pages are the same. Excludes `encode`, and a password without an encryption.
//   spinCount   the agile form's rounds of password hashing (Access uses 100000; tests use
//               fewer to run faster).
enum class Encryption { None, Rc4CryptoApi, Standard, AgileSha1, AgileSha512 };
struct Protection {
  bool encode = false;
  std::string password;  // UTF-8; empty: none
  Encryption encryption = Encryption::None;
  bool accdb = false;
  std::uint32_t spinCount = 100000;
};

// Writes the file atomically: the content goes to a temporary file in the same folder, which is
// flushed to disk and renamed to `path` only once complete. On any error nothing is left
// behind and an existing file at `path` is untouched. A symbolic link at `path` is followed: the
// file it names is written and the link stays. Throws WriterError (DestinationError when `path`
// is not a regular file or a new name).
void WriteDatabase(const std::string& path, const std::vector<TableSpec>& tables,
                   const CatalogSpec& catalog = {}, const Protection& protection = {});

// A stream of rows, for tables too large to hold in memory or read from a file.
class RowSource {
 public:
  virtual ~RowSource() = default;
  // Stores the next row in `row` and returns true, or returns false after the last row.
  // Throws WriterError for input it cannot turn into a row (naming where).
  virtual bool Next(std::vector<Value>& row) = 0;
  // Where the row last returned came from, for error messages, e.g. "rows.tsv line 12".
  virtual std::string Where() const = 0;
};

struct TableSource {
  std::string name;
  std::vector<ColumnSpec> columns;
  RowSource* rows = nullptr;  // nullptr: no rows
  std::string description = {};
  std::vector<IndexSpec> indexes{};
};

// Same as WriteDatabase, with rows pulled from each table's source in turn.
void WriteDatabaseFromSources(const std::string& path, const std::vector<TableSource>& tables,
                              const CatalogSpec& catalog = {},
                              const Protection& protection = {});

// Gives the whole image of a Jet 3 or Jet 4 file (one Access made, say) Jet's own protection:
// encodes its pages with `databaseKey` (0: leaves them plain) and sets its database password
// (empty: none), Jet 3 passwords in the file's code page. Throws WriterError for an image that
// is not such a file or is already encoded, and for a password the file cannot hold.
void ProtectImage(std::string& image, std::uint32_t databaseKey, const std::string& password);

// Parses a column written as NAME:TYPE, TYPE being one of text(N), memo, hyperlink, byte,
// integer, long, autonumber, single, double, currency, decimal(P,S), datetime, yesno, guid,
// binary(N), ole (any letter case; also the aliases "longinteger", "short", "float", "money",
// "numeric(P,S)", "date", "bool", "boolean", "replicationid", "oleobject", "counter"). The name
// is everything before the last ':'. Throws WriterError.
ColumnSpec ParseColumnSpec(std::string_view text);

// The TYPE part of a column as ParseColumnSpec reads it, e.g. "text(50)".
std::string ColumnTypeName(const ColumnSpec& column);

// Parses the key columns of an index written as COL[,COL...], each COL a column name that may
// be followed by " desc" (descending) or " asc" (any letter case). A column whose name holds a
// comma or ends in " desc" or " asc" cannot be written so. Throws WriterError.
std::vector<IndexColumn> ParseIndexColumns(std::string_view text);

// Parses an index written as NAME:COL[,COL...]: the name is everything before the first ':'.
// Throws WriterError.
IndexSpec ParseIndexSpec(std::string_view text);

}  // namespace mkmdb
