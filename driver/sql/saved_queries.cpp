#include "saved_queries.h"

#include "text/case_fold.h"

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace mdbodbc::sql {
namespace {

// How MSysQueries describes a query: one row per part, the part in Attribute.
enum Attribute : int {
  kType = 1,        // Flag: the kind of query
  kParameter = 2,   // Name1: the name, Flag: the Jet type code
  kFlags = 3,       // Flag: DISTINCT, DISTINCTROW, TOP ...; Name1: TOP's count
  kRemote = 4,      // Name1: another database the query reads
  kTable = 5,       // Name1: table or query, Name2: its alias; a UNION's members in Expression
  kColumn = 6,      // Expression [AS Name1]; Flag: a crosstab's part
  kJoin = 7,        // Name1 JOIN Name2 ON Expression; Flag: 1 inner, 2 left, 3 right
  kWhere = 8,
  kGroupBy = 9,     // Flag: a crosstab's part
  kHaving = 10,
  kOrderBy = 11,    // Name1 "D": descending
};

enum QueryType : int {
  kSelect = 1, kMakeTable = 2, kAppend = 3, kUpdate = 4, kDelete = 5, kCrosstab = 6,
  kDataDefinition = 7, kPassThrough = 8, kUnion = 9,
};

// Flags of kFlags.
constexpr int kAllColumns = 0x01;
constexpr int kDistinct = 0x02;  // in a UNION: UNION rather than UNION ALL
constexpr int kDistinctRow = 0x08;
constexpr int kTop = 0x10;
constexpr int kPercent = 0x20;

// A crosstab's parts (kColumn and kGroupBy flags); its row headings (2) are the plain columns.
constexpr int kCrosstabValue = 0;
constexpr int kCrosstabPivot = 1;

struct Part {
  int attribute = 0;
  std::string name1, name2, expression;
  std::optional<std::int64_t> flag;
};

// The columns of a system table by name, read from its definition.
struct Columns {
  std::map<std::string, std::size_t> index;
  std::optional<std::size_t> Find(const std::string& name) const {
    auto found = index.find(name);
    return found == index.end() ? std::nullopt : std::optional<std::size_t>(found->second);
  }
};

bool ReadTable(const jet::Database& database, const std::string& name, jet::TableDefinition& definition,
               Columns& columns, std::string& error) {
  if (!database.ReadDefinition(name, definition, error)) return false;
  for (std::size_t i = 0; i < definition.columns.size(); ++i) columns.index[definition.columns[i].name] = i;
  return true;
}

std::string TextOf(jet::Scan& scan, std::optional<std::size_t> column, jet::Value& v) {
  if (!column) return {};
  scan.Read(*column, v);
  return v.kind == jet::ValueKind::Text ? v.bytes : std::string();
}

std::optional<std::int64_t> NumberOf(jet::Scan& scan, std::optional<std::size_t> column, jet::Value& v) {
  if (!column) return std::nullopt;
  scan.Read(*column, v);
  if (v.kind == jet::ValueKind::Integer || v.kind == jet::ValueKind::Bool) return v.integer;
  return std::nullopt;
}

// A name as Access SQL writes it: in brackets, a.b!c kept apart at its separators.
std::string Bracketed(const std::string& name) { return "[" + name + "]"; }

std::string ParameterName(const std::string& name) {
  std::string out = "[";
  for (char c : name) {
    if (c == '!') {
      out += "]![";
    } else {
      out += c;
    }
  }
  return out + "]";
}

const char* TypeNameOfCode(std::int64_t code) {
  switch (code) {
    case 1: return "Bit";
    case 2: return "Byte";
    case 3: return "Short";
    case 4: return "Long";
    case 5: return "Currency";
    case 6: return "IEEESingle";
    case 7: return "IEEEDouble";
    case 8: return "DateTime";
    case 9: return "Binary";
    case 11: return "LongBinary";
    case 12: return "Memo";
    case 15: return "Guid";
    case 16: return "Decimal";
    default: return "Text";
  }
}

// The FROM clause from the tables and joins: joined tables nest in parentheses in the order
// the joins come; tables that no join names follow with commas.
std::string FromClause(const std::vector<const Part*>& tables, const std::vector<const Part*>& joins, std::string& problem) {
  struct Node {
    std::string sql;
    std::vector<std::string> names;  // the tables (by alias or name) it holds
    bool joined = false;
  };
  std::vector<std::unique_ptr<Node>> roots;
  for (const Part* t : tables) {
    auto node = std::make_unique<Node>();
    node->sql = Bracketed(t->name1) + (t->name2.empty() ? "" : " AS " + Bracketed(t->name2));
    node->names.push_back(t->name2.empty() ? t->name1 : t->name2);
    roots.push_back(std::move(node));
  }
  auto find = [&](const std::string& name) -> int {
    for (std::size_t i = 0; i < roots.size(); ++i) {
      for (const std::string& n : roots[i]->names) {
        if (textconv::EqualFolded(n, name)) return static_cast<int>(i);
      }
    }
    return -1;
  };
  for (const Part* j : joins) {
    int left = find(j->name1), right = find(j->name2);
    if (left < 0 || right < 0) {
      problem = "a join names " + (left < 0 ? j->name1 : j->name2) + ", which is not one of its tables";
      return {};
    }
    if (left == right) {
      // A second condition between tables already joined: it joins them too.
      Node& node = *roots[static_cast<std::size_t>(left)];
      if (node.joined && !node.sql.empty() && node.sql.back() == ')') {
        node.sql.insert(node.sql.size() - 1, " AND " + j->expression);
      }
      continue;
    }
    const char* kind = j->flag == 2 ? " LEFT JOIN " : j->flag == 3 ? " RIGHT JOIN " : " INNER JOIN ";
    auto node = std::make_unique<Node>();
    node->sql = "(" + roots[static_cast<std::size_t>(left)]->sql + kind + roots[static_cast<std::size_t>(right)]->sql +
                " ON " + j->expression + ")";
    node->names = roots[static_cast<std::size_t>(left)]->names;
    for (const std::string& n : roots[static_cast<std::size_t>(right)]->names) node->names.push_back(n);
    node->joined = true;
    int first = std::min(left, right), second = std::max(left, right);
    roots[static_cast<std::size_t>(first)] = std::move(node);
    roots.erase(roots.begin() + second);
  }
  std::string sql;
  for (const auto& root : roots) sql += (sql.empty() ? "" : ", ") + root->sql;
  return sql;
}

// A member of a UNION as the file keeps it: a SELECT, or TABLE name.
std::string UnionMember(const std::string& text) {
  std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start != std::string::npos && text.size() - start > 6) {
    std::string word = text.substr(start, 6);
    for (char& c : word) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (word == "TABLE " || word == "TABLE\t") {
      std::string name = text.substr(start + 6);
      while (!name.empty() && (name.back() == ' ' || name.back() == ';' || name.back() == '\n' || name.back() == '\r')) {
        name.pop_back();
      }
      std::size_t first = name.find_first_not_of(" \t");
      name = first == std::string::npos ? std::string() : name.substr(first);
      if (name.size() >= 2 && name.front() == '[' && name.back() == ']') return "SELECT * FROM " + name;
      return "SELECT * FROM " + Bracketed(name);
    }
  }
  std::string member = text;
  while (!member.empty() && (member.back() == ' ' || member.back() == ';' || member.back() == '\n' || member.back() == '\r')) {
    member.pop_back();
  }
  return "(" + member + ")";
}

// One query's text from its parts; `query.problem` says why there is none.
void Rebuild(const std::vector<Part>& parts, SavedQuery& query) {
  std::int64_t type = kSelect, flags = 0;
  std::string top;
  std::vector<std::string> parameters;
  std::vector<const Part*> tables, joins;
  std::vector<std::string> columns, groups, orders, where, having;
  std::string transformValue, pivot;
  for (const Part& p : parts) {
    switch (p.attribute) {
      case kType: type = p.flag.value_or(kSelect); break;
      case kParameter:
        parameters.push_back(ParameterName(p.name1) + " " + TypeNameOfCode(p.flag.value_or(10)));
        break;
      case kFlags:
        flags = p.flag.value_or(0);
        top = p.name1;
        break;
      case kRemote:
        query.problem = "the query reads another database (" + p.name1 + "), which this driver does not open";
        query.problemState = "HYC00";
        break;
      case kTable: tables.push_back(&p); break;
      case kJoin: joins.push_back(&p); break;
      case kColumn: {
        std::string column = p.expression + (p.name1.empty() ? "" : " AS " + Bracketed(p.name1));
        if (type == kCrosstab && p.flag == kCrosstabValue) {
          transformValue = p.expression;
        } else if (type == kCrosstab && p.flag == kCrosstabPivot) {
          pivot = p.expression;
        } else {
          columns.push_back(column);
        }
        break;
      }
      case kWhere: where.push_back(p.expression); break;
      case kGroupBy:
        if (type != kCrosstab || p.flag != kCrosstabPivot) groups.push_back(p.expression);
        break;
      case kHaving: having.push_back(p.expression); break;
      case kOrderBy: orders.push_back(p.expression + (p.name1 == "D" || p.name1 == "d" ? " DESC" : "")); break;
      default: break;
    }
  }
  switch (type) {
    case kSelect: query.kind = SavedQuery::Kind::Select; break;
    case kUnion: query.kind = SavedQuery::Kind::Union; break;
    case kCrosstab: query.kind = SavedQuery::Kind::Crosstab; break;
    case kPassThrough: query.kind = SavedQuery::Kind::PassThrough; break;
    case kDataDefinition: query.kind = SavedQuery::Kind::DataDefinition; break;
    default: query.kind = SavedQuery::Kind::Action; break;
  }
  if (!query.problem.empty()) return;
  if (query.kind == SavedQuery::Kind::Action || query.kind == SavedQuery::Kind::DataDefinition) {
    static const char* const kWhat[] = {"", "", "a make-table query", "an append query", "an update query",
                                        "a delete query", "", "a data-definition query"};
    query.problem = "\"" + query.name + "\" is " + (type >= 2 && type <= 7 ? kWhat[type] : "an action query") +
                    ", which changes the database: this driver only reads";
    query.problemState = "42000";
    return;
  }
  if (query.kind == SavedQuery::Kind::PassThrough) {
    query.problem = "\"" + query.name + "\" is a pass-through query for another database server, which this driver does not reach";
    query.problemState = "HYC00";
    return;
  }
  auto list = [](const std::vector<std::string>& items, const char* separator) {
    std::string s;
    for (const std::string& item : items) s += (s.empty() ? "" : separator) + item;
    return s;
  };
  std::string sql;
  if (!parameters.empty()) sql = "PARAMETERS " + list(parameters, ", ") + "; ";
  if (query.kind == SavedQuery::Kind::Union) {
    std::vector<std::string> members;
    for (const Part* t : tables) {
      if (!t->expression.empty()) members.push_back(UnionMember(t->expression));
    }
    if (members.empty()) {
      query.problem = "the union query \"" + query.name + "\" has no members";
      query.problemState = "HY000";
      return;
    }
    sql += list(members, (flags & kDistinct) != 0 ? " UNION " : " UNION ALL ");
    if (!orders.empty()) sql += " ORDER BY " + list(orders, ", ");
    query.sql = sql;
    return;
  }
  if (query.kind == SavedQuery::Kind::Crosstab) {
    if (transformValue.empty() || pivot.empty()) {
      query.problem = "the crosstab query \"" + query.name + "\" has no value or no column heading";
      query.problemState = "HY000";
      return;
    }
    sql += "TRANSFORM " + transformValue + " ";
  }
  sql += "SELECT ";
  if ((flags & kDistinct) != 0) sql += "DISTINCT ";
  if ((flags & kDistinctRow) != 0) sql += "DISTINCTROW ";
  if ((flags & kTop) != 0 && !top.empty()) sql += "TOP " + top + ((flags & kPercent) != 0 ? " PERCENT " : " ");
  if ((flags & kAllColumns) != 0) columns.insert(columns.begin(), "*");
  if (columns.empty()) {
    query.problem = "the query \"" + query.name + "\" has no columns";
    query.problemState = "HY000";
    return;
  }
  sql += list(columns, ", ");
  std::string problem;
  std::string from = FromClause(tables, joins, problem);
  if (!problem.empty()) {
    query.problem = "the query \"" + query.name + "\" cannot be read: " + problem;
    query.problemState = "HY000";
    return;
  }
  if (!from.empty()) sql += " FROM " + from;
  if (!where.empty()) sql += " WHERE " + list(where, " AND ");
  if (!groups.empty()) sql += " GROUP BY " + list(groups, ", ");
  if (!having.empty()) sql += " HAVING " + list(having, " AND ");
  if (query.kind == SavedQuery::Kind::Crosstab) {
    sql += " PIVOT " + pivot;
  } else if (!orders.empty()) {
    sql += " ORDER BY " + list(orders, ", ");
  }
  query.sql = sql;
}

}  // namespace

std::vector<SavedQuery> ReadSavedQueries(const jet::Database& database) {
  std::vector<SavedQuery> out;
  jet::TableDefinition objectsTable, queriesTable;
  Columns objects, queries;
  std::string error;
  // A file without the system tables of queries (some writers leave them out) has no queries.
  if (!ReadTable(database, "MSysObjects", objectsTable, objects, error)) return out;
  std::optional<std::size_t> idColumn = objects.Find("Id"), nameColumn = objects.Find("Name"),
                             typeColumn = objects.Find("Type");
  if (!idColumn || !nameColumn || !typeColumn) return out;
  constexpr std::int64_t kQueryObject = 5;
  std::map<std::int64_t, std::size_t> byId;
  jet::Value v;
  if (std::unique_ptr<jet::Scan> scan = database.StartScan(objectsTable)) {
    while (scan->Next()) {
      if (NumberOf(*scan, typeColumn, v) != kQueryObject) continue;
      std::optional<std::int64_t> id = NumberOf(*scan, idColumn, v);
      std::string name = TextOf(*scan, nameColumn, v);
      // Queries Access keeps for its forms and reports (~sq_...) are not the user's.
      if (!id || name.empty() || name[0] == '~') continue;
      byId[*id] = out.size();
      out.push_back({name, SavedQuery::Kind::Select, {}, {}, {}});
    }
  }
  if (out.empty()) return out;
  std::vector<std::vector<Part>> parts(out.size());
  if (ReadTable(database, "MSysQueries", queriesTable, queries, error)) {
    std::optional<std::size_t> object = queries.Find("ObjectId"), attribute = queries.Find("Attribute"),
                               name1 = queries.Find("Name1"), name2 = queries.Find("Name2"),
                               expression = queries.Find("Expression"), flag = queries.Find("Flag");
    std::unique_ptr<jet::Scan> scan = object && attribute ? database.StartScan(queriesTable) : nullptr;
    while (scan && scan->Next()) {
      std::optional<std::int64_t> id = NumberOf(*scan, object, v);
      if (!id) continue;
      auto found = byId.find(*id);
      if (found == byId.end()) continue;
      Part p;
      p.attribute = static_cast<int>(NumberOf(*scan, attribute, v).value_or(-1));
      p.name1 = TextOf(*scan, name1, v);
      p.name2 = TextOf(*scan, name2, v);
      p.expression = TextOf(*scan, expression, v);
      p.flag = NumberOf(*scan, flag, v);
      parts[found->second].push_back(std::move(p));
    }
    if (scan && !scan->Error().empty()) error = scan->Error();
  }
  for (std::size_t i = 0; i < out.size(); ++i) {
    if (!error.empty()) {
      out[i].problem = "the queries of this file cannot be read: " + error;
      out[i].problemState = "HY000";
      continue;
    }
    if (parts[i].empty()) {
      out[i].problem = "the query \"" + out[i].name + "\" has no description in MSysQueries";
      out[i].problemState = "HY000";
      continue;
    }
    Rebuild(parts[i], out[i]);
  }
  return out;
}

}  // namespace mdbodbc::sql
