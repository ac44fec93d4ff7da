#include "catalog.h"

#include "column_description.h"
#include "functions.h"
#include "query.h"

#include "text/case_fold.h"

#include <algorithm>

namespace mdbodbc::sql {
namespace {

ResultColumn TextColumn(const char* name, SQLSMALLINT nullable = SQL_NULLABLE) {
  ResultColumn c;
  c.name = name;
  c.sqlType = SQL_WVARCHAR;
  c.size = 128;
  c.displaySize = 128;
  c.octetLength = 256;
  c.nullable = nullable;
  return c;
}

ResultColumn NumberColumn(const char* name, bool wide, SQLSMALLINT nullable = SQL_NULLABLE) {
  ResultColumn c;
  c.name = name;
  c.sqlType = wide ? SQL_INTEGER : SQL_SMALLINT;
  c.typeName = wide ? "INTEGER" : "SMALLINT";
  c.size = wide ? 10 : 5;
  c.displaySize = wide ? 11 : 6;
  c.octetLength = wide ? 4 : 2;
  c.nullable = nullable;
  return c;
}

Cell Text(const std::string& text) {
  Cell c;
  c.kind = Cell::Kind::Text;
  c.bytes = text;
  return c;
}

Cell Number(std::int64_t value) {
  Cell c;
  c.kind = Cell::Kind::Integer;
  c.integer = value;
  return c;
}

Cell Null() { return Cell{}; }

// A name pattern of SQLTables and SQLColumns: % and _ with \ to escape them; nothing or "%"
// matches every name.
bool Matches(const NameArgument& pattern, const std::string& name) {
  if (!pattern || pattern->empty()) return !pattern || pattern->empty();
  return LikeMatches(*pattern, name, U'\\', LikeSyntax::OdbcSearch);
}

bool AnyName(const NameArgument& pattern) { return !pattern || pattern->empty() || *pattern == "%"; }

bool IsView(const SavedQuery& q) {
  return q.kind == SavedQuery::Kind::Select || q.kind == SavedQuery::Kind::Union || q.kind == SavedQuery::Kind::Crosstab;
}

// The user tables and links (and, when asked by name, system tables) that a pattern names, in
// catalog order, with their definitions. A table whose definition cannot be read is left out;
// so is a link that cannot be followed, with a warning that says why.
struct FoundTable {
  std::size_t index;
  const jet::CatalogTable* entry;
  jet::TableDefinition definition;
};

std::vector<FoundTable> FindTables(Engine& engine, const NameArgument& pattern, bool exact,
                                   std::vector<SqlError>& warnings) {
  std::vector<FoundTable> found;
  const std::vector<jet::CatalogTable>& tables = engine.database().Tables();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const jet::CatalogTable& entry = tables[i];
    bool named = exact ? (pattern && textconv::EqualFolded(*pattern, entry.name)) : (AnyName(pattern) || Matches(pattern, entry.name));
    if (!named) continue;
    if (entry.system && (!pattern || !textconv::EqualFolded(*pattern, entry.name))) continue;
    FoundTable table{i, &entry, {}};
    if (entry.linked) {
      SqlError why;
      const Engine::Table* linked = engine.ProvideCatalogTable(i, why);
      if (linked == nullptr) {
        warnings.push_back({"01000", why.message});
        continue;
      }
      table.definition = linked->definition;
      found.push_back(std::move(table));
      continue;
    }
    std::string ignored;
    if (engine.database().ReadDefinition(entry.name, table.definition, ignored)) found.push_back(std::move(table));
  }
  return found;
}

// The properties of a table, or null (with a warning) when they are broken.
const jet::ObjectProperties* PropertiesOf(Engine& engine, std::size_t index, std::vector<SqlError>& warnings) {
  std::string why;
  const jet::ObjectProperties* properties = engine.Properties(index, why);
  if (properties == nullptr) warnings.push_back({"01000", why});
  return properties;
}

// A default value as ODBC gives it: the expression Access keeps, with a text literal in single
// quotes ("a ""b""" becomes 'a "b"') and without the '=' Access allows before an expression.
std::string OdbcDefault(std::string stored) {
  if (!stored.empty() && stored[0] == '=') stored.erase(0, 1);
  if (stored.size() < 2 || stored.front() != '"' || stored.back() != '"') return stored;
  std::string text;
  for (std::size_t i = 1; i + 1 < stored.size(); ++i) {
    if (stored[i] == '"') {
      if (stored[i + 1] != '"' || i + 2 == stored.size()) return stored;  // not one literal
      ++i;
    }
    text += stored[i];
  }
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return quoted + "'";
}

std::vector<std::string> SplitTypes(const std::string& list) {
  std::vector<std::string> types;
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t comma = list.find(',', start);
    std::string item = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    item.erase(0, item.find_first_not_of(" '"));
    std::size_t last = item.find_last_not_of(" '");
    item.erase(last == std::string::npos ? 0 : last + 1);
    std::transform(item.begin(), item.end(), item.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (!item.empty()) types.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return types;
}

std::vector<ResultColumn> TablesColumns() {
  return {TextColumn("TABLE_CAT"), TextColumn("TABLE_SCHEM"), TextColumn("TABLE_NAME"),
          TextColumn("TABLE_TYPE"), TextColumn("REMARKS")};
}

}  // namespace

std::unique_ptr<ResultSource> TablesResult(Engine& engine, const NameArgument& catalog,
                                           const NameArgument& schema, const NameArgument& table,
                                           const NameArgument& types) {
  std::vector<Row> rows;
  bool noTable = table && table->empty();
  // The three enumerations: catalogs, schemas, table types. The file has neither catalogs nor
  // schemas, so the first two are empty.
  if ((catalog && *catalog == "%" && schema && schema->empty() && noTable) ||
      (schema && *schema == "%" && catalog && catalog->empty() && noTable)) {
    return std::make_unique<FixedResult>(TablesColumns(), std::move(rows));
  }
  if (types && *types == "%" && catalog && catalog->empty() && schema && schema->empty() && noTable) {
    for (const char* type : {"LINK", "PASS-THROUGH", "SYSTEM TABLE", "TABLE", "VIEW"}) {
      rows.push_back({Null(), Null(), Null(), Text(type), Null()});
    }
    return std::make_unique<FixedResult>(TablesColumns(), std::move(rows));
  }
  std::vector<std::string> wanted = types ? SplitTypes(*types) : std::vector<std::string>{};
  auto wants = [&](const std::string& type) {
    return wanted.empty() || std::find(wanted.begin(), wanted.end(), type) != wanted.end();
  };
  if (catalog && !catalog->empty()) return std::make_unique<FixedResult>(TablesColumns(), std::move(rows));
  if (schema && !schema->empty() && *schema != "%") return std::make_unique<FixedResult>(TablesColumns(), std::move(rows));
  struct Listed {
    std::string type, name;
    std::optional<std::string> remarks;
  };
  std::vector<Listed> listed;
  std::vector<SqlError> warnings;
  const std::vector<jet::CatalogTable>& tables = engine.database().Tables();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const jet::CatalogTable& entry = tables[i];
    std::string type = entry.linked ? (entry.link.odbc ? "PASS-THROUGH" : "LINK") : entry.system ? "SYSTEM TABLE" : "TABLE";
    if (!wants(type) || !(AnyName(table) || Matches(table, entry.name))) continue;
    Listed item{type, entry.name, std::nullopt};
    if (const jet::ObjectProperties* properties = PropertiesOf(engine, i, warnings)) {
      item.remarks = properties->object.Text("Description");
    }
    listed.push_back(std::move(item));
  }
  // Saved queries that return rows are views; those that change data are procedures.
  if (wants("VIEW")) {
    for (const SavedQuery& query : engine.SavedQueries()) {
      if (!IsView(query) || !(AnyName(table) || Matches(table, query.name))) continue;
      listed.push_back({"VIEW", query.name, std::nullopt});
    }
  }
  // Ordered by type, then name, as the reference asks.
  std::stable_sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) {
    if (a.type != b.type) return a.type < b.type;
    return textconv::CompareFolded(a.name, b.name) < 0;
  });
  for (const Listed& item : listed) {
    rows.push_back({Null(), Null(), Text(item.name), Text(item.type), item.remarks ? Text(*item.remarks) : Null()});
  }
  return std::make_unique<FixedResult>(TablesColumns(), std::move(rows), std::move(warnings));
}

// One row of SQLColumns for a column described as `d`, with the properties Access keeps for it
// (Required, DefaultValue, Description) when it has any.
Row ColumnRow(const std::string& table, const std::string& name, const ResultColumn& d, std::size_t position,
              SQLINTEGER odbcVersion, const jet::PropertyGroup* properties = nullptr) {
  bool datetime = d.sqlType == SQL_TYPE_TIMESTAMP;
  bool character = d.sqlType == SQL_WVARCHAR || d.sqlType == SQL_WLONGVARCHAR;
  bool exact = d.sqlType == SQL_DECIMAL || d.sqlType == SQL_NUMERIC || d.sqlType == SQL_TINYINT ||
               d.sqlType == SQL_SMALLINT || d.sqlType == SQL_INTEGER || d.sqlType == SQL_BIGINT || d.sqlType == SQL_BIT;
  bool approximate = d.sqlType == SQL_REAL || d.sqlType == SQL_DOUBLE;
  SQLSMALLINT nullable = d.nullable;
  std::optional<std::string> remarks, defaultValue;
  if (properties != nullptr) {
    if (properties->YesNo("Required").value_or(false)) nullable = SQL_NO_NULLS;
    remarks = properties->Text("Description");
    defaultValue = properties->Text("DefaultValue");
  }
  return {Null(), Null(), Text(table), Text(name),
          Number(TypeForVersion(d.sqlType, odbcVersion)), Text(d.typeName),
          Number(static_cast<std::int64_t>(d.size)), Number(d.octetLength),
          exact || datetime ? Number(d.decimals) : Null(),
          exact ? Number(10) : approximate ? Number(2) : Null(), Number(nullable),
          remarks ? Text(*remarks) : Null(), defaultValue ? Text(OdbcDefault(*defaultValue)) : Null(),
          Number(datetime ? SQL_DATETIME : d.sqlType), datetime ? Number(SQL_CODE_TIMESTAMP) : Null(),
          character ? Number(d.octetLength) : Null(), Number(static_cast<std::int64_t>(position)),
          Text(nullable == SQL_NO_NULLS ? "NO" : nullable == SQL_NULLABLE ? "YES" : "")};
}

std::unique_ptr<ResultSource> ColumnsResult(Engine& engine, const NameArgument& table,
                                            const NameArgument& column, SQLINTEGER odbcVersion) {
  std::vector<ResultColumn> columns = {
      TextColumn("TABLE_CAT"),       TextColumn("TABLE_SCHEM"),
      TextColumn("TABLE_NAME", SQL_NO_NULLS), TextColumn("COLUMN_NAME", SQL_NO_NULLS),
      NumberColumn("DATA_TYPE", false, SQL_NO_NULLS), TextColumn("TYPE_NAME", SQL_NO_NULLS),
      NumberColumn("COLUMN_SIZE", true), NumberColumn("BUFFER_LENGTH", true),
      NumberColumn("DECIMAL_DIGITS", false), NumberColumn("NUM_PREC_RADIX", false),
      NumberColumn("NULLABLE", false, SQL_NO_NULLS), TextColumn("REMARKS"),
      TextColumn("COLUMN_DEF"),      NumberColumn("SQL_DATA_TYPE", false, SQL_NO_NULLS),
      NumberColumn("SQL_DATETIME_SUB", false), NumberColumn("CHAR_OCTET_LENGTH", true),
      NumberColumn("ORDINAL_POSITION", true, SQL_NO_NULLS), TextColumn("IS_NULLABLE")};
  std::vector<Row> rows;
  std::vector<SqlError> warnings;
  for (const FoundTable& found : FindTables(engine, table, false, warnings)) {
    const jet::ObjectProperties* properties = PropertiesOf(engine, found.index, warnings);
    for (std::size_t i = 0; i < found.definition.columns.size(); ++i) {
      const jet::Column& jetColumn = found.definition.columns[i];
      if (!(AnyName(column) || Matches(column, jetColumn.name))) continue;
      rows.push_back(ColumnRow(found.definition.name, jetColumn.name, DescribeJetColumn(jetColumn, found.definition.name),
                               i + 1, odbcVersion, properties ? properties->Column(jetColumn.name) : nullptr));
    }
  }
  // A view's columns are its result columns, as a statement reading it describes them; a view
  // that cannot be prepared (a missing table, a function not built yet) has none to show.
  for (const SavedQuery& query : engine.SavedQueries()) {
    if (!IsView(query) || !(AnyName(table) || Matches(table, query.name))) continue;
    SqlError ignored;
    std::string text = query.kind == SavedQuery::Kind::Crosstab ? query.sql : "SELECT * FROM [" + query.name + "]";
    std::unique_ptr<Query> prepared = Query::Prepare(engine, text, ignored);
    if (!prepared) continue;
    const std::vector<ResultColumn>& described = prepared->Columns();
    for (std::size_t i = 0; i < described.size(); ++i) {
      if (!(AnyName(column) || Matches(column, described[i].name))) continue;
      rows.push_back(ColumnRow(query.name, described[i].name, described[i], i + 1, odbcVersion));
    }
  }
  return std::make_unique<FixedResult>(std::move(columns), std::move(rows), std::move(warnings));
}

std::unique_ptr<ResultSource> StatisticsResult(Engine& engine, const NameArgument& table, bool uniqueOnly) {
  std::vector<ResultColumn> columns = {
      TextColumn("TABLE_CAT"),        TextColumn("TABLE_SCHEM"),
      TextColumn("TABLE_NAME", SQL_NO_NULLS), NumberColumn("NON_UNIQUE", false),
      TextColumn("INDEX_QUALIFIER"),  TextColumn("INDEX_NAME"),
      NumberColumn("TYPE", false, SQL_NO_NULLS), NumberColumn("ORDINAL_POSITION", false),
      TextColumn("COLUMN_NAME"),      TextColumn("ASC_OR_DESC"),
      NumberColumn("CARDINALITY", true), NumberColumn("PAGES", true),
      TextColumn("FILTER_CONDITION")};
  std::vector<Row> rows;
  std::vector<SqlError> warnings;
  for (const FoundTable& found : FindTables(engine, table, true, warnings)) {
    const jet::TableDefinition& d = found.definition;
    rows.push_back({Null(), Null(), Text(d.name), Null(), Null(), Null(), Number(SQL_TABLE_STAT), Null(), Null(),
                    Null(), Number(d.storedRowCount), Null(), Null()});
    std::vector<const jet::Index*> indexes;
    for (const jet::Index& index : d.indexes) {
      if (!uniqueOnly || index.unique || index.primaryKey) indexes.push_back(&index);
    }
    // Ordered by NON_UNIQUE, then INDEX_NAME.
    std::stable_sort(indexes.begin(), indexes.end(), [](const jet::Index* a, const jet::Index* b) {
      bool ua = a->unique || a->primaryKey, ub = b->unique || b->primaryKey;
      if (ua != ub) return ua;
      return a->name < b->name;
    });
    for (const jet::Index* index : indexes) {
      for (std::size_t k = 0; k < index->keys.size(); ++k) {
        const jet::IndexKey& key = index->keys[k];
        if (key.column >= d.columns.size()) continue;
        rows.push_back({Null(), Null(), Text(d.name), Number(index->unique || index->primaryKey ? SQL_FALSE : SQL_TRUE),
                        Null(), Text(index->name), Number(SQL_INDEX_OTHER), Number(static_cast<std::int64_t>(k + 1)),
                        Text(d.columns[key.column].name), Text(key.ascending ? "A" : "D"), Null(), Null(), Null()});
      }
    }
  }
  return std::make_unique<FixedResult>(std::move(columns), std::move(rows), std::move(warnings));
}

namespace {

// The primary key of a table, or its first unique index when `orUnique`; null when none.
const jet::Index* KeyIndex(const jet::TableDefinition& d, bool orUnique) {
  for (const jet::Index& index : d.indexes) {
    if (index.primaryKey) return &index;
  }
  if (!orUnique) return nullptr;
  for (const jet::Index& index : d.indexes) {
    if (index.unique) return &index;
  }
  return nullptr;
}

}  // namespace

std::unique_ptr<ResultSource> PrimaryKeysResult(Engine& engine, const NameArgument& table) {
  std::vector<ResultColumn> columns = {TextColumn("TABLE_CAT"), TextColumn("TABLE_SCHEM"),
                                       TextColumn("TABLE_NAME", SQL_NO_NULLS), TextColumn("COLUMN_NAME", SQL_NO_NULLS),
                                       NumberColumn("KEY_SEQ", false, SQL_NO_NULLS), TextColumn("PK_NAME")};
  std::vector<Row> rows;
  std::vector<SqlError> warnings;
  for (const FoundTable& found : FindTables(engine, table, true, warnings)) {
    const jet::Index* key = KeyIndex(found.definition, false);
    if (key == nullptr) continue;
    for (std::size_t k = 0; k < key->keys.size(); ++k) {
      if (key->keys[k].column >= found.definition.columns.size()) continue;
      rows.push_back({Null(), Null(), Text(found.definition.name), Text(found.definition.columns[key->keys[k].column].name),
                      Number(static_cast<std::int64_t>(k + 1)), Text(key->name)});
    }
  }
  return std::make_unique<FixedResult>(std::move(columns), std::move(rows), std::move(warnings));
}

std::unique_ptr<ResultSource> SpecialColumnsResult(Engine& engine, SQLUSMALLINT identifier,
                                                   const NameArgument& table, SQLINTEGER odbcVersion) {
  std::vector<ResultColumn> columns = {NumberColumn("SCOPE", false),
                                       TextColumn("COLUMN_NAME", SQL_NO_NULLS),
                                       NumberColumn("DATA_TYPE", false, SQL_NO_NULLS),
                                       TextColumn("TYPE_NAME", SQL_NO_NULLS),
                                       NumberColumn("COLUMN_SIZE", true),
                                       NumberColumn("BUFFER_LENGTH", true),
                                       NumberColumn("DECIMAL_DIGITS", false),
                                       NumberColumn("PSEUDO_COLUMN", false)};
  std::vector<Row> rows;
  std::vector<SqlError> warnings;
  if (identifier == SQL_BEST_ROWID) {
    for (const FoundTable& found : FindTables(engine, table, true, warnings)) {
      const jet::Index* key = KeyIndex(found.definition, true);
      if (key == nullptr) continue;
      for (const jet::IndexKey& k : key->keys) {
        if (k.column >= found.definition.columns.size()) continue;
        ResultColumn d = DescribeJetColumn(found.definition.columns[k.column], found.definition.name);
        rows.push_back({Number(SQL_SCOPE_SESSION), Text(d.baseColumn), Number(TypeForVersion(d.sqlType, odbcVersion)),
                        Text(d.typeName), Number(static_cast<std::int64_t>(d.size)), Number(d.octetLength),
                        Number(d.decimals), Number(SQL_PC_NOT_PSEUDO)});
      }
    }
  }
  return std::make_unique<FixedResult>(std::move(columns), std::move(rows), std::move(warnings));
}

std::unique_ptr<ResultSource> TypeInfoResult(SQLSMALLINT type, SQLINTEGER odbcVersion) {
  std::vector<ResultColumn> columns = {
      TextColumn("TYPE_NAME", SQL_NO_NULLS), NumberColumn("DATA_TYPE", false, SQL_NO_NULLS),
      NumberColumn("COLUMN_SIZE", true),   TextColumn("LITERAL_PREFIX"),
      TextColumn("LITERAL_SUFFIX"),        TextColumn("CREATE_PARAMS"),
      NumberColumn("NULLABLE", false, SQL_NO_NULLS), NumberColumn("CASE_SENSITIVE", false, SQL_NO_NULLS),
      NumberColumn("SEARCHABLE", false, SQL_NO_NULLS), NumberColumn("UNSIGNED_ATTRIBUTE", false),
      NumberColumn("FIXED_PREC_SCALE", false, SQL_NO_NULLS), NumberColumn("AUTO_UNIQUE_VALUE", false),
      TextColumn("LOCAL_TYPE_NAME"),       NumberColumn("MINIMUM_SCALE", false),
      NumberColumn("MAXIMUM_SCALE", false), NumberColumn("SQL_DATA_TYPE", false, SQL_NO_NULLS),
      NumberColumn("SQL_DATETIME_SUB", false), NumberColumn("NUM_PREC_RADIX", true),
      NumberColumn("INTERVAL_PRECISION", false)};
  struct Type {
    const char* name;
    SQLSMALLINT type;
    std::int64_t size;
    const char* prefix;
    const char* suffix;
    const char* params;
    int searchable;
    int isUnsigned;  // -1: not numeric
    bool fixed;
    int autoUnique;  // -1: not numeric
    int minScale;    // -1: not applicable
    int maxScale;
    int radix;  // 0: not numeric
  };
  static constexpr Type kTypes[] = {
      {"GUID", SQL_GUID, 36, "{guid ", "}", nullptr, SQL_PRED_BASIC, -1, false, -1, -1, -1, 0},
      {"LONGCHAR", SQL_WLONGVARCHAR, 1073741823, "'", "'", nullptr, SQL_PRED_CHAR, -1, false, -1, -1, -1, 0},
      {"VARCHAR", SQL_WVARCHAR, 255, "'", "'", "max length", SQL_SEARCHABLE, -1, false, -1, -1, -1, 0},
      {"BIT", SQL_BIT, 1, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 1, false, 0, 0, 0, 10},
      {"BYTE", SQL_TINYINT, 3, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 1, false, 0, 0, 0, 10},
      {"BIGINT", SQL_BIGINT, 19, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 0, false, 0, 0, 0, 10},
      {"LONGBINARY", SQL_LONGVARBINARY, 1073741823, "0x", nullptr, nullptr, SQL_PRED_NONE, -1, false, -1, -1, -1, 0},
      {"VARBINARY", SQL_VARBINARY, 255, "0x", nullptr, "max length", SQL_PRED_BASIC, -1, false, -1, -1, -1, 0},
      {"DECIMAL", SQL_NUMERIC, 28, nullptr, nullptr, "precision,scale", SQL_PRED_BASIC, 0, false, 0, 0, 28, 10},
      {"CURRENCY", SQL_DECIMAL, 19, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 0, true, 0, 4, 4, 10},
      {"COUNTER", SQL_INTEGER, 10, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 0, false, 1, 0, 0, 10},
      {"INTEGER", SQL_INTEGER, 10, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 0, false, 0, 0, 0, 10},
      {"SMALLINT", SQL_SMALLINT, 5, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 0, false, 0, 0, 0, 10},
      {"REAL", SQL_REAL, 7, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 0, false, 0, -1, -1, 2},
      {"DOUBLE", SQL_DOUBLE, 15, nullptr, nullptr, nullptr, SQL_PRED_BASIC, 0, false, 0, -1, -1, 2},
      {"DATETIME", SQL_TYPE_TIMESTAMP, 19, "#", "#", nullptr, SQL_PRED_BASIC, -1, false, -1, 0, 0, 0},
  };
  auto maybe = [](const char* text) { return text != nullptr ? Text(text) : Null(); };
  auto number = [](int value) { return value >= 0 ? Number(value) : Null(); };
  std::vector<Row> rows;
  for (const Type& t : kTypes) {
    SQLSMALLINT reported = TypeForVersion(t.type, odbcVersion);
    if (type != SQL_ALL_TYPES && type != t.type && type != reported) continue;
    bool datetime = t.type == SQL_TYPE_TIMESTAMP;
    rows.push_back({Text(t.name), Number(reported), Number(t.size), maybe(t.prefix), maybe(t.suffix), maybe(t.params),
                    Number(t.type == SQL_BIT ? SQL_NO_NULLS : SQL_NULLABLE), Number(SQL_FALSE), Number(t.searchable),
                    number(t.isUnsigned), Number(t.fixed ? SQL_TRUE : SQL_FALSE), number(t.autoUnique), Text(t.name),
                    number(t.minScale), number(t.maxScale), Number(datetime ? SQL_DATETIME : t.type),
                    datetime ? Number(SQL_CODE_TIMESTAMP) : Null(), t.radix > 0 ? Number(t.radix) : Null(), Null()});
  }
  // Ordered by DATA_TYPE as the application sees it.
  std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a[1].integer < b[1].integer; });
  return std::make_unique<FixedResult>(std::move(columns), std::move(rows));
}

}  // namespace mdbodbc::sql

namespace mdbodbc::sql {

std::unique_ptr<ResultSource> ProceduresResult(const Engine& engine, const NameArgument& procedure) {
  std::vector<ResultColumn> columns = {
      TextColumn("PROCEDURE_CAT"),          TextColumn("PROCEDURE_SCHEM"),
      TextColumn("PROCEDURE_NAME", SQL_NO_NULLS), NumberColumn("NUM_INPUT_PARAMS", true),
      NumberColumn("NUM_OUTPUT_PARAMS", true), NumberColumn("NUM_RESULT_SETS", true),
      TextColumn("REMARKS"),                 NumberColumn("PROCEDURE_TYPE", false)};
  std::vector<std::string> names;
  for (const SavedQuery& query : engine.SavedQueries()) {
    if (IsView(query) || !(AnyName(procedure) || Matches(procedure, query.name))) continue;
    names.push_back(query.name);
  }
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return textconv::CompareFolded(a, b) < 0;
  });
  std::vector<Row> rows;
  for (const std::string& name : names) {
    rows.push_back({Null(), Null(), Text(name), Null(), Null(), Number(0), Null(), Number(SQL_PT_PROCEDURE)});
  }
  return std::make_unique<FixedResult>(std::move(columns), std::move(rows));
}

}  // namespace mdbodbc::sql

namespace mdbodbc::sql {
namespace {

// An answer that cannot be given: starting it fails with `error`.
class FailedResult : public ResultSource {
 public:
  FailedResult(std::vector<ResultColumn> columns, SqlError error)
      : columns_(std::move(columns)), error_(std::move(error)) {}
  const std::vector<ResultColumn>& Columns() const override { return columns_; }
  bool Start(SqlError& error) override {
    error = error_;
    return false;
  }
  Step Next(Row&, SqlError& error) override {
    error = error_;
    return Step::Error;
  }

 private:
  std::vector<ResultColumn> columns_;
  SqlError error_;
};

// The name of the index of `table` whose keys are exactly `columns` (any order): its primary key
// when that is the one, else a unique index; empty when there is none.
std::string KeyIndexName(const jet::TableDefinition& table, const std::vector<std::string>& columns) {
  auto covers = [&](const jet::Index& index) {
    if (index.keys.size() != columns.size()) return false;
    for (const jet::IndexKey& key : index.keys) {
      if (key.column >= table.columns.size()) return false;
      const std::string& name = table.columns[key.column].name;
      if (std::none_of(columns.begin(), columns.end(), [&](const std::string& c) { return textconv::EqualFolded(c, name); })) {
        return false;
      }
    }
    return true;
  };
  for (const jet::Index& index : table.indexes) {
    if (index.primaryKey && covers(index)) return index.name;
  }
  for (const jet::Index& index : table.indexes) {
    if (index.unique && covers(index)) return index.name;
  }
  return {};
}

}  // namespace

std::unique_ptr<ResultSource> ForeignKeysResult(Engine& engine, const NameArgument& primaryCatalog,
                                                const NameArgument& primarySchema, const NameArgument& primaryTable,
                                                const NameArgument& foreignCatalog, const NameArgument& foreignSchema,
                                                const NameArgument& foreignTable, SQLINTEGER odbcVersion) {
  std::vector<ResultColumn> columns = {
      TextColumn("PKTABLE_CAT"),  TextColumn("PKTABLE_SCHEM"), TextColumn("PKTABLE_NAME", SQL_NO_NULLS),
      TextColumn("PKCOLUMN_NAME", SQL_NO_NULLS), TextColumn("FKTABLE_CAT"), TextColumn("FKTABLE_SCHEM"),
      TextColumn("FKTABLE_NAME", SQL_NO_NULLS), TextColumn("FKCOLUMN_NAME", SQL_NO_NULLS),
      NumberColumn("KEY_SEQ", false, SQL_NO_NULLS), NumberColumn("UPDATE_RULE", false),
      NumberColumn("DELETE_RULE", false), TextColumn("FK_NAME"), TextColumn("PK_NAME"),
      NumberColumn("DEFERRABILITY", false)};
  std::vector<Row> rows;
  for (const NameArgument* part : {&primaryCatalog, &primarySchema, &foreignCatalog, &foreignSchema}) {
    if (*part && !(*part)->empty()) return std::make_unique<FixedResult>(std::move(columns), std::move(rows));
  }
  std::string why;
  const std::vector<jet::Relationship>* relationships = engine.Relationships(why);
  if (relationships == nullptr) return std::make_unique<FailedResult>(std::move(columns), SqlError{"HY000", why});

  // A rule Access can cascade, else none: ODBC 2 calls that RESTRICT.
  const std::int64_t noAction = odbcVersion == SQL_OV_ODBC2 ? SQL_RESTRICT : SQL_NO_ACTION;
  auto rule = [&](const jet::Relationship& r, std::uint32_t cascade) {
    return Number((r.flags & cascade) != 0 ? SQL_CASCADE : noAction);
  };
  struct Found {
    const jet::Relationship* relationship;
    const std::string* orderTable;  // the table the reference orders by
  };
  std::vector<Found> found;
  for (const jet::Relationship& r : *relationships) {
    // A relationship Access does not enforce is a line in its diagrams, not a key.
    if (!r.Enforced()) continue;
    if (primaryTable && !textconv::EqualFolded(*primaryTable, r.primaryTable)) continue;
    if (foreignTable && !textconv::EqualFolded(*foreignTable, r.foreignTable)) continue;
    found.push_back({&r, foreignTable ? &r.primaryTable : &r.foreignTable});
  }
  // By the other table's name, then the key's name, so that each key's columns stay together.
  std::stable_sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
    int byTable = textconv::CompareFolded(*a.orderTable, *b.orderTable);
    if (byTable != 0) return byTable < 0;
    return textconv::CompareFolded(a.relationship->name, b.relationship->name) < 0;
  });
  for (const Found& f : found) {
    const jet::Relationship& r = *f.relationship;
    std::string primaryKey;
    if (std::optional<std::size_t> index = engine.FindCatalogTable(r.primaryTable)) {
      SqlError ignored;
      if (const Engine::Table* table = engine.ProvideCatalogTable(*index, ignored)) {
        primaryKey = KeyIndexName(table->definition, r.primaryColumns);
      }
    }
    for (std::size_t i = 0; i < r.foreignColumns.size(); ++i) {
      rows.push_back({Null(), Null(), Text(r.primaryTable), Text(r.primaryColumns[i]), Null(), Null(),
                      Text(r.foreignTable), Text(r.foreignColumns[i]), Number(static_cast<std::int64_t>(i + 1)),
                      rule(r, jet::kRelationshipCascadeUpdates), rule(r, jet::kRelationshipCascadeDeletes),
                      Text(r.name), primaryKey.empty() ? Null() : Text(primaryKey), Number(SQL_NOT_DEFERRABLE)});
    }
  }
  return std::make_unique<FixedResult>(std::move(columns), std::move(rows));
}

}  // namespace mdbodbc::sql
