#include "command_line.h"

#include <algorithm>
#include <charconv>
#include <utility>

namespace mkmdb {

std::string HelpText() {
  return R"HELP(Usage: mkmdb OUTPUT.mdb TABLE [TABLE...] [RELATIONSHIP...] [LINK...]
       mkmdb --help

Writes an Access 2000 format (Jet 4) database file with the tables described.
Each TABLE is:

  --table NAME            starts a table (1 to 64 characters, none of . ! ` [ ])
  --column NAME:TYPE      adds a column; repeat for each column, in order
  --rows FILE             reads the rows from a tab-separated FILE ("-": standard input)
  --generate N            or makes N rows of numbered values
  --index NAME:COL[,COL...]  adds an index on the columns named, in that order; a
                          column followed by " desc" is in descending order
  --unique                makes the --index just before it unique
  --primary-key COL[,COL...]  adds the primary key, an index named PrimaryKey that
                          is unique and whose columns cannot be NULL

A table with neither --rows nor --generate has no rows. Indexes cannot hold memo,
hyperlink, ole or binary columns; a unique index takes a key only once, but keys
with a NULL column may repeat.

Protection (each at most once, anywhere on the line):

  --encode                encodes the pages the way Access 2000 "encodes" a database
                          (RC4 keyed by a random key in the header; no password needed)
  --password TEXT         the database password (at most 20 characters), or with
                          --encrypt the password the file is encrypted with
  --encrypt FORM          encrypts every page with --password as Access 2007 and later do:
                            rc4         RC4 CryptoAPI, 40-bit key, SHA-1 (Access 2007)
                            aes         the standard form: AES-128, SHA-1
                            agile-sha1  the agile form: AES-128, SHA-1 (Access 2010)
                            agile       the agile form: AES-256, SHA-512 (Access 2013 on)
  --accdb                 marks the file as an Access 2007 (.accdb) file (whose
                          password, if any, encrypts it: --encrypt is then needed)

Properties, as Access shows them in a table's design:

  --description TEXT      the Description of the last --column (before any
                          --column: of the table), at most 255 characters
  --default EXPR          the DefaultValue of the last --column, an expression as
                          Access keeps it: 0, "text" (with its double quotes), Date()
  --required              makes the last --column Required

Relationships and links, anywhere after the output file:

  --relationship NAME FOREIGN_TABLE.COLUMN PRIMARY_TABLE.COLUMN
                          a relationship, or one more pair of columns of it when
                          NAME was given before (in the order given)
  --cascade-updates, --cascade-deletes, --not-enforced
                          the rules of the last --relationship
  --link NAME FILE TABLE  a link to TABLE of the Access file FILE (the path as
                          Access keeps it, e.g. C:\data\other.mdb or other.mdb)
  --odbc-link NAME CONNECT TABLE
                          a link to TABLE of an ODBC data source, CONNECT being
                          its connect string, e.g. "ODBC;DSN=sales;"

Column types:
  text(N)     text of at most N characters, N from 1 to 255
  memo        text of any length (several MB)
  hyperlink   a memo holding links: display#address#subaddress
  byte        integer from 0 to 255
  integer     integer from -32768 to 32767
  long        integer from -2147483648 to 2147483647
  autonumber  a long numbering the rows: \N takes one more than the largest so far
  single      decimal number stored as a 32-bit float, e.g. 3.25
  double      decimal number, e.g. 3.25 or -1e-3
  currency    exact, at most 4 digits after the point, e.g. -12.5 or
              922337203685477.5807
  decimal(P,S) exact, P digits in all (1 to 28), S of them after the point
  datetime    YYYY-MM-DD, YYYY-MM-DD HH:MM:SS or YYYY-MM-DD HH:MM:SS.fff,
              years 100 to 9999
  yesno       1/0, true/false or yes/no; cannot be NULL
  guid        {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} (Replication ID)
  binary(N)   hexadecimal digits, at most N bytes, N from 1 to 510
  ole         hexadecimal digits, an OLE object's bytes (several MB)

Rows: one row a line, fields separated by tabs, in column order, UTF-8.
A field that is exactly \N is NULL; an empty field is an empty text.
Escapes inside a field: \t tab, \n line feed, \r carriage return, \\ backslash.
A CR before the line feed and a UTF-8 byte order mark at the start are dropped.

Generated rows: row n holds "<column> <n>" in text (its last N characters if
longer) and memo columns (hyperlink: followed by #https://example.org/<n>#),
n in long, byte (modulo 256) and integer (modulo 32768), the row number in
autonumber, n + 0.25 in double and currency (single: n modulo 2^24, plus
0.25), n modulo 10^(P-S) followed by the digits of .25 that fit in decimal(P,S),
2000-01-01 00:00:00 plus n minutes in datetime, 1 for odd n in yesno, n as the
last group of a guid, and n's 8 bytes in ole (binary(N): the last N of them).

The file is written under a temporary name in the same folder and renamed to
OUTPUT.mdb only when complete; on any error (reported with the line and the
column) no file is left and an existing OUTPUT.mdb is untouched. OUTPUT.mdb
must be a regular file or a new name; a symbolic link is followed (the file it
names is replaced, the link stays); a folder, device, FIFO or socket is refused.

Exit status: 0 done, 1 bad input or write error, 2 bad command line or an
output path that is not a regular file.

Examples:
  printf 'Airbus\nBoeing\n\\N\n' |
    mkmdb planes.mdb --table avion --column "marque:text(50)" --rows -
  mkmdb secret.accdb --accdb --encrypt agile --password 'Kennwort' \
    --table avion --column "marque:text(50)" --generate 10
  mkmdb big.mdb --table t --column id:long --column "nom:text(50)" --generate 1000000 \
    --primary-key id --index "par_nom:nom desc,id" --unique
)HELP";
}

namespace {

std::uint64_t ParseCount(const std::string& text) {
  std::uint64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw UsageError("--generate wants a number of rows, not \"" + text + "\"");
  }
  return value;
}

Encryption ParseEncryption(const std::string& text) {
  const std::pair<const char*, Encryption> forms[] = {{"rc4", Encryption::Rc4CryptoApi},
                                                      {"aes", Encryption::Standard},
                                                      {"agile-sha1", Encryption::AgileSha1},
                                                      {"agile", Encryption::AgileSha512}};
  for (const auto& [name, form] : forms) {
    if (text == name) return form;
  }
  throw UsageError("--encrypt wants rc4, aes, agile-sha1 or agile, not \"" + text + "\"");
}

// Splits TABLE.COLUMN (names hold no '.').
std::pair<std::string, std::string> TableColumn(const std::string& text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == text.size() ||
      text.find('.', dot + 1) != std::string::npos) {
    throw UsageError("--relationship wants TABLE.COLUMN, not \"" + text + "\"");
  }
  return {text.substr(0, dot), text.substr(dot + 1)};
}

}  // namespace

Plan ParseCommandLine(const std::vector<std::string>& args) {
  Plan plan;
  bool passwordGiven = false;
  auto once = [&](bool given, const std::string& option) {
    if (given) throw UsageError(option + " is given more than once");
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto operand = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      return args[++i];
    };
    auto current = [&]() -> TablePlan& {
      if (plan.tables.empty()) throw UsageError(arg + " comes before any --table");
      return plan.tables.back();
    };
    auto column = [&]() -> ColumnSpec& {
      TablePlan& table = current();
      if (table.columns.empty()) throw UsageError(arg + " comes before any --column of " + table.name);
      return table.columns.back();
    };
    auto relationship = [&]() -> RelationshipSpec& {
      if (plan.catalog.relationships.empty()) throw UsageError(arg + " comes before any --relationship");
      return plan.catalog.relationships.back();
    };
    if (arg == "-h" || arg == "--help") {
      plan.help = true;
      return plan;
    } else if (arg == "--table") {
      plan.tables.push_back(TablePlan{operand(), {}, {}, {}, {}});
      plan.table_descriptions.emplace_back();
    } else if (arg == "--description") {
      const std::string& text = operand();
      if (current().columns.empty()) {
        plan.table_descriptions.back() = text;
      } else {
        column().description = text;
      }
    } else if (arg == "--default") {
      const std::string& text = operand();
      column().default_value = text;
    } else if (arg == "--required") {
      column().required = true;
    } else if (arg == "--relationship") {
      const std::string name = operand();
      const auto [foreign_table, foreign_column] = TableColumn(operand());
      const auto [primary_table, primary_column] = TableColumn(operand());
      auto& relationships = plan.catalog.relationships;
      auto found = std::find_if(relationships.begin(), relationships.end(),
                                [&](const RelationshipSpec& r) { return r.name == name; });
      if (found == relationships.end()) {
        relationships.push_back({name, foreign_table, {}, primary_table, {}});
        found = relationships.end() - 1;
      } else if (found->foreign_table != foreign_table || found->primary_table != primary_table) {
        throw UsageError("relationship " + name + " is given between other tables before");
      }
      found->foreign_columns.push_back(foreign_column);
      found->primary_columns.push_back(primary_column);
    } else if (arg == "--cascade-updates") {
      relationship().cascade_updates = true;
    } else if (arg == "--cascade-deletes") {
      relationship().cascade_deletes = true;
    } else if (arg == "--not-enforced") {
      relationship().enforced = false;
    } else if (arg == "--link" || arg == "--odbc-link") {
      const std::string name = operand();
      const std::string target = operand();
      const std::string table = operand();
      if (arg == "--link") {
        plan.catalog.links.push_back({name, target, table});
      } else {
        plan.catalog.links.push_back({name, "", table, target});
      }
    } else if (arg == "--index") {
      const std::string& index = operand();
      current().indexes.push_back(ParseIndexSpec(index));
    } else if (arg == "--primary-key") {
      const std::string& columns = operand();
      TablePlan& table = current();
      IndexSpec key{"PrimaryKey", ParseIndexColumns(columns), true, true};
      table.indexes.push_back(std::move(key));
    } else if (arg == "--unique") {
      TablePlan& table = current();
      if (table.indexes.empty()) {
        throw UsageError("--unique follows no --index of table " + table.name);
      }
      table.indexes.back().unique = true;
    } else if (arg == "--column") {
      const std::string& column = operand();
      current().columns.push_back(ParseColumnSpec(column));
    } else if (arg == "--rows") {
      const std::string& file = operand();
      TablePlan& table = current();
      if (table.rows_file || table.generate) {
        throw UsageError("table " + table.name + " has more than one --rows or --generate");
      }
      table.rows_file = file;
    } else if (arg == "--generate") {
      const std::string& count = operand();
      TablePlan& table = current();
      if (table.rows_file || table.generate) {
        throw UsageError("table " + table.name + " has more than one --rows or --generate");
      }
      table.generate = ParseCount(count);
    } else if (arg == "--encode") {
      once(plan.protection.encode, arg);
      plan.protection.encode = true;
    } else if (arg == "--accdb") {
      once(plan.protection.accdb, arg);
      plan.protection.accdb = true;
    } else if (arg == "--password") {
      once(passwordGiven, arg);
      passwordGiven = true;
      plan.protection.password = operand();
      if (plan.protection.password.empty()) throw UsageError("--password wants a password");
    } else if (arg == "--encrypt") {
      once(plan.protection.encryption != Encryption::None, arg);
      plan.protection.encryption = ParseEncryption(operand());
    } else if (arg.size() > 1 && arg[0] == '-') {
      throw UsageError("unknown option " + arg);
    } else if (plan.output.empty()) {
      plan.output = arg;
    } else {
      throw UsageError("unexpected argument \"" + arg + "\" (the output file is " +
                       plan.output + ")");
    }
  }
  if (plan.output.empty()) throw UsageError("no output file given");
  if (plan.tables.empty() && plan.catalog.links.empty()) throw UsageError("no --table or --link given");
  int from_stdin = 0;
  for (const TablePlan& table : plan.tables) {
    if (table.columns.empty()) throw UsageError("table " + table.name + " has no --column");
    from_stdin += table.rows_file && *table.rows_file == "-";
  }
  if (from_stdin > 1) throw UsageError("only one table can read its rows from standard input");
  if (plan.protection.encryption != Encryption::None && !passwordGiven) {
    throw UsageError("--encrypt needs --password");
  }
  if (plan.protection.encryption != Encryption::None && plan.protection.encode) {
    throw UsageError("--encode and --encrypt exclude each other");
  }
  if (plan.protection.accdb && passwordGiven && plan.protection.encryption == Encryption::None) {
    throw UsageError("--accdb with --password needs --encrypt (an Access 2007 file's password "
                     "encrypts it)");
  }
  if (plan.protection.accdb && plan.protection.encode) {
    throw UsageError("--accdb and --encode exclude each other (Access 2007 files are encrypted, "
                     "not encoded)");
  }
  return plan;
}

}  // namespace mkmdb
