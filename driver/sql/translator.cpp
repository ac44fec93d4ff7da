#include "translator.h"

#include "access_dates.h"
#include "engine.h"
#include "function_library.h"
#include "functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

namespace mdbodbc::sql {
namespace {

using ast::Expr;
using ast::ExprKind;
using ast::Op;

std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') out += '\'';
    out += c;
  }
  return out + "'";
}

std::string Code(const Type& t) { return std::to_string(TypeCode(t)); }

std::string Cast(const std::string& sql, const Type& from, const Type& to) {
  return "jet_cast(" + sql + ", " + Code(from) + ", " + Code(to) + ")";
}

bool IsBooleanKind(const Type& t) { return t.kind == JetType::Bool; }

// The engine SQL of a real number, exactly.
std::string RealLiteral(double v) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", v);
  std::string s = text;
  if (s.find_first_of(".en") == std::string::npos) s += ".0";
  return s;
}

}  // namespace

const char* CollationOf(const Type& t) {
  switch (t.kind) {
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid:
    case JetType::Unknown: return kTextCollation;
    case JetType::Decimal: return kDecimalCollation;
    default: return "";
  }
}

std::string ConvertValue(const std::string& sql, const Type& from, const Type& to) {
  JetType f = from.kind, t = to.kind;
  if (f == t || f == JetType::Null || t == JetType::Unknown) {
    if (t == JetType::Decimal && f == JetType::Decimal && from.scale != to.scale) return sql;
    return sql;
  }
  if (f == JetType::Unknown) return Cast(sql, MakeType(JetType::Text), to);
  // Date/Time Extended with the other types: its ticks become linear days by arithmetic, and
  // those go on as a Date/Time; text takes it whole through the engine's conversion.
  if (f == JetType::DateTimeExtended && !IsTextual(t)) {
    std::string days = "((" + sql + " - " + std::to_string(kTicksAtDayZero) + ") / " +
                       std::to_string(kTicksPerDay) + ".0)";
    return ConvertValue(days, MakeType(JetType::DateTime), to);
  }
  if (t == JetType::DateTimeExtended && !IsTextual(f)) {
    std::string days = ConvertValue(sql, from, MakeType(JetType::DateTime));
    return "(CAST(round((" + days + ") * " + std::to_string(kTicksPerDay) + ".0) AS INTEGER) + " +
           std::to_string(kTicksAtDayZero) + ")";
  }
  bool fromWhole = IsWhole(f) && f != JetType::Bool;
  switch (t) {
    case JetType::Bool:
      if (IsNumeric(f) && f != JetType::Decimal) return "(-((" + sql + ") <> 0))";
      return Cast(sql, from, to);
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt:
      if (fromWhole || f == JetType::Bool) {
        // Narrowing is checked where the value leaves the engine or is stored.
        return sql;
      }
      return Cast(sql, from, to);
    case JetType::Single:
    case JetType::Double:
      if (fromWhole || f == JetType::Bool || f == JetType::Single || f == JetType::Double) return sql;
      if (f == JetType::DateTime) return sql;
      // Currency too goes through the conversion, which gives the nearest double: dividing the
      // count of ten-thousandths in the engine rounds twice once it passes 2^53.
      return Cast(sql, from, to);
    case JetType::Currency:
      // A Long (or less) times 10,000 stays far inside 64 bits; a BigInt is checked.
      if ((fromWhole && f != JetType::BigInt) || f == JetType::Bool) return "((" + sql + ") * 10000)";
      return Cast(sql, from, to);
    case JetType::DateTime:
      if (fromWhole || f == JetType::Double || f == JetType::Single) return sql;
      return Cast(sql, from, to);
    case JetType::Text:
    case JetType::Memo:
      if (IsTextual(f) || f == JetType::Guid) return sql;
      return Cast(sql, from, to);
    default: return Cast(sql, from, to);
  }
}

namespace {

class Translator {
 public:
  Translator(Engine& engine, BoundStatement& bound, Translation& out, SqlError& error)
      : engine_(engine), b_(bound), out_(out), error_(error) {}

  bool Run() {
    ast::Statement& statement = *b_.statement;
    if (statement.crosstab) return Crosstab(statement);
    const std::vector<Output>& outputs = b_.queries.at(statement.query.get());
    out_.outputs = outputs;
    out_.sql = Query(*statement.query);
    out_.streaming = Streaming(*statement.query);
    return error_.state.empty();
  }

 private:
  bool Fail(const std::string& state, const std::string& message) {
    if (error_.state.empty()) error_ = {state, message};
    return false;
  }

  // The scopes the expression being emitted can see, innermost first.
  struct Frame {
    const SelectInfo* info;
  };

  std::string SourceAlias(int depth, int scope) const {
    const SelectInfo* info = frames_[frames_.size() - 1 - static_cast<std::size_t>(depth)].info;
    return "t" + std::to_string(info->sources[static_cast<std::size_t>(scope)].id);
  }

  // ---- Queries ----

  // The SQL of a query whose result columns are named c0, c1, ...
  std::string Query(const ast::Query& query) {
    const std::vector<Output>& outputs = b_.queries.at(&query);
    if (query.members.size() == 1) {
      std::string sql = Select(*query.members[0], outputs, false);
      return Limited(sql, query);
    }
    std::string sql;
    for (std::size_t m = 0; m < query.members.size(); ++m) {
      const ast::Select& member = *query.members[m];
      if (m > 0) sql += query.unionAll[m - 1] ? " UNION ALL " : " UNION ";
      bool dedupe = false;
      for (std::size_t i = 0; i + 1 <= m && i < query.unionAll.size(); ++i) dedupe = dedupe || !query.unionAll[i];
      if (m < query.unionAll.size()) dedupe = dedupe || !query.unionAll[m];
      std::string one = Select(member, outputs, dedupe);
      // A member with its own TOP or ORDER BY keeps them inside.
      if (member.top || !member.orderBy.empty()) one = "SELECT * FROM (" + one + ")";
      sql += one;
    }
    if (!query.orderBy.empty()) {
      std::string order;
      for (const ast::OrderItem& item : query.orderBy) {
        std::size_t i = static_cast<std::size_t>(item.expr->ref.alias);
        if (!order.empty()) order += ", ";
        order += "c" + std::to_string(i) + Collate(outputs[i].type) + (item.descending ? " DESC" : "");
      }
      sql = "SELECT * FROM (" + sql + ") ORDER BY " + order;
    }
    return Limited(sql, query);
  }

  std::string Limited(std::string sql, const ast::Query& query) {
    if (!query.limit) return sql;
    sql = "SELECT * FROM (" + sql + ") LIMIT " + *query.limit;
    if (query.offsetRows) sql += " OFFSET " + *query.offsetRows;
    return sql;
  }

  static std::string Collate(const Type& t) {
    const char* c = CollationOf(t);
    return *c ? std::string(" COLLATE ") + c : std::string();
  }

  // Emits one select. Its items are converted to `outputs`' types (a UNION's common types) and
  // named c0, c1, ... `dedupe`: a member of a UNION that removes duplicates.
  std::string Select(const ast::Select& select, const std::vector<Output>& outputs, bool dedupe) {
    const SelectInfo& info = b_.selects.at(&select);
    if (std::optional<std::string> counted = CountedRows(select, info, outputs)) return *counted;
    frames_.push_back({&info});
    std::string from = From(select, info);
    std::string where = select.where ? " WHERE " + Condition(*select.where) : "";
    std::string group;
    for (const auto& g : select.groupBy) {
      group += group.empty() ? " GROUP BY " : ", ";
      group += "(" + Value(*g) + ")" + Collate(g->type);
    }
    std::string having = select.having ? " HAVING " + Condition(*select.having) : "";
    bool collateItems = select.distinct || dedupe;
    std::vector<std::string> items;
    for (std::size_t i = 0; i < select.items.size(); ++i) {
      const Expr& e = *select.items[i].expr;
      std::string sql = ConvertValue(Value(e), e.type, outputs[i].type);
      if (collateItems && *CollationOf(outputs[i].type)) sql = "(" + sql + ")" + Collate(outputs[i].type);
      items.push_back(sql + " AS c" + std::to_string(i));
    }
    // Sort keys: an item's own column when the key names one, else an expression.
    struct Key {
      std::string sql;
      Type type;
      bool descending;
      int item;  // the select item it is, or -1
    };
    std::vector<Key> keys;
    for (const ast::OrderItem& o : select.orderBy) {
      int item = o.expr->ref.alias;
      if (item < 0) {
        for (std::size_t i = 0; i < select.items.size() && item < 0; ++i) {
          if (select.items[i].expr.get() == o.expr.get()) item = static_cast<int>(i);
        }
      }
      Key key{item >= 0 ? std::string() : Value(*o.expr), o.expr->type, o.descending, item};
      if (item >= 0) key.type = outputs[static_cast<std::size_t>(item)].type;
      keys.push_back(std::move(key));
    }
    std::string distinct = select.distinct ? "DISTINCT " : "";
    bool ties = select.top && !keys.empty();
    bool percent = select.top && select.top->percent;
    std::vector<int> rowSources = DistinctRowSources(select, info);
    frames_.pop_back();

    auto list = [](const std::vector<std::string>& parts) {
      std::string s;
      for (const std::string& p : parts) s += (s.empty() ? "" : ", ") + p;
      return s;
    };
    if (!ties && !percent && rowSources.empty()) {
      // The common form: one SELECT.
      std::string order;
      for (const Key& k : keys) {
        order += order.empty() ? " ORDER BY " : ", ";
        order += (k.item >= 0 ? "c" + std::to_string(k.item) : "(" + k.sql + ")") + Collate(k.type) +
                 (k.descending ? " DESC" : "");
      }
      std::string sql = "SELECT " + distinct + list(items) + from + where + group + having + order;
      if (select.top) sql += " LIMIT " + select.top->count;
      return sql;
    }
    // Wrapped: the core select carries its sort keys (and the rows of DISTINCTROW) as extra
    // columns; TOP keeps every row tied with the last one.
    std::vector<std::string> core = items;
    std::vector<std::string> keyColumns;
    for (std::size_t k = 0; k < keys.size(); ++k) {
      std::string name = keys[k].item >= 0 ? "c" + std::to_string(keys[k].item) : "k" + std::to_string(k);
      if (keys[k].item < 0) core.push_back(keys[k].sql + " AS " + name);
      keyColumns.push_back(name + Collate(keys[k].type) + (keys[k].descending ? " DESC" : ""));
    }
    for (int s : rowSources) core.push_back("t" + std::to_string(info.sources[static_cast<std::size_t>(s)].id) + ".rowid AS r" + std::to_string(s));
    std::string sql = "SELECT " + (rowSources.empty() ? distinct : std::string("DISTINCT ")) + list(core) + from + where +
                      group + having;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < items.size(); ++i) names.push_back("c" + std::to_string(i));
    std::string order = keyColumns.empty() ? "" : " ORDER BY " + list(keyColumns);
    if (!select.top) return "SELECT " + list(names) + " FROM (" + sql + ")" + order;
    std::string rank = keys.empty() ? "row_number() OVER ()" : "rank() OVER (ORDER BY " + list(keyColumns) + ")";
    std::string bound = select.top->count;
    if (percent) bound = "ceil(" + select.top->count + " * count(*) OVER () / 100.0)";
    std::string ranked = "SELECT *, " + rank + " AS rk" + (percent ? ", " + bound + " AS rn" : "") + " FROM (" + sql + ")";
    return "SELECT " + list(names) + " FROM (" + ranked + ") WHERE rk <= " + (percent ? "rn" : bound) + order;
  }

  // SELECT COUNT(*) FROM t, the whole table's count and nothing else: answered from the rows the
  // file's pages hold (jet::Database::CountRows, kept once counted) instead of a pass over the
  // rows. Nothing when the select has another shape or the pages cannot be counted; the pass
  // over the rows then answers, or says what is broken.
  std::optional<std::string> CountedRows(const ast::Select& select, const SelectInfo& info,
                                         const std::vector<Output>& outputs) {
    if (select.from.size() != 1 || select.from[0]->kind != ast::FromItem::Kind::Table ||
        info.sources.size() != 1 || !info.sources[0].isTable || select.where || !select.groupBy.empty() ||
        select.having || select.top || select.distinct || !select.orderBy.empty() || select.items.empty()) {
      return std::nullopt;
    }
    for (const ast::SelectItem& item : select.items) {
      const Expr& e = *item.expr;
      if (e.kind != ExprKind::Call || e.distinct || e.args.size() != 1 || e.args[0]->kind != ExprKind::Star) {
        return std::nullopt;
      }
      const FunctionDef* def = FindFunction(e.path[0], e.text == "odbc");
      if (def == nullptr || def->name != "count") return std::nullopt;
    }
    SqlError unavailable;
    const Engine::Table* table = engine_.ProvideCatalogTable(info.sources[0].catalogIndex, unavailable);
    std::uint64_t count = 0;
    std::string broken;
    if (table == nullptr || !table->database->CountRows(table->definition, count, broken) ||
        count > static_cast<std::uint64_t>(INT32_MAX)) {
      return std::nullopt;
    }
    std::string items;
    for (std::size_t i = 0; i < select.items.size(); ++i) {
      if (i > 0) items += ", ";
      items += ConvertValue(std::to_string(count), select.items[i].expr->type, outputs[i].type) + " AS c" +
               std::to_string(i);
    }
    return "SELECT " + items;
  }

  // DISTINCTROW: distinct rows of the tables that give result columns, when the others would
  // repeat them; nothing to do for one table or when every table gives columns.
  std::vector<int> DistinctRowSources(const ast::Select& select, const SelectInfo& info) {
    if (!select.distinctRow || select.distinct || info.sources.size() < 2 || info.grouped) return {};
    std::vector<bool> used(info.sources.size(), false);
    for (const ast::SelectItem& item : select.items) MarkSources(*item.expr, used);
    std::vector<int> out;
    bool all = true;
    for (std::size_t s = 0; s < used.size(); ++s) {
      if (used[s] && info.sources[s].isTable) out.push_back(static_cast<int>(s));
      all = all && used[s];
    }
    if (all) return {};
    return out;
  }

  void MarkSources(const Expr& e, std::vector<bool>& used) {
    if (e.kind == ExprKind::Column && e.ref.depth == 0 && e.ref.scope >= 0) used[static_cast<std::size_t>(e.ref.scope)] = true;
    for (const auto& a : e.args) MarkSources(*a, used);
  }

  bool Streaming(const ast::Query& query) {
    if (query.members.size() != 1) return false;
    const ast::Select& s = *query.members[0];
    const SelectInfo& info = b_.selects.at(&s);
    return !info.grouped && !s.distinct && !s.distinctRow && s.orderBy.empty() && info.sources.size() <= 1;
  }

  // ---- FROM ----

  std::string From(const ast::Select& select, const SelectInfo& info) {
    if (select.from.empty()) return "";
    std::string sql;
    for (const auto& item : select.from) {
      sql += sql.empty() ? " FROM " : ", ";
      sql += FromItem(*item, info);
    }
    return sql;
  }

  std::string FromItem(const ast::FromItem& item, const SelectInfo& info) {
    if (item.kind == ast::FromItem::Kind::Join) {
      std::string left = FromItem(*item.left, info);
      std::string right = FromItem(*item.right, info);
      std::string on = item.on ? " ON " + Condition(*item.on) : "";
      switch (item.join) {
        case ast::JoinKind::Inner: return "(" + left + " JOIN " + right + on + ")";
        case ast::JoinKind::Left: return "(" + left + " LEFT JOIN " + right + on + ")";
        case ast::JoinKind::Right: return "(" + left + " RIGHT JOIN " + right + on + ")";
        case ast::JoinKind::Cross: return "(" + left + " CROSS JOIN " + right + ")";
      }
    }
    const Source& source = info.sources[static_cast<std::size_t>(item.scope)];
    std::string alias = "t" + std::to_string(source.id);
    if (source.isTable) {
      out_.tables.push_back(source.catalogIndex);
      return "\"" + Engine::TableModuleName(source.catalogIndex) + "\" AS " + alias;
    }
    if (!source.sql.empty()) {
      out_.tables.insert(out_.tables.end(), source.tables.begin(), source.tables.end());
      return "(" + source.sql + ") AS " + alias;
    }
    // A derived table or saved query: its own statement, seeing nothing around it.
    std::vector<Frame> saved;
    saved.swap(frames_);
    std::string sql = "(" + Query(*source.query) + ") AS " + alias;
    frames_.swap(saved);
    return sql;
  }

  // ---- Expressions ----

  // The expression as a condition: the engine's truth (non-zero), false or NULL.
  std::string Condition(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Unary:
        if (e.op == Op::Not && IsBooleanKind(e.type)) return "(NOT " + Condition(*e.args[0]) + ")";
        break;
      case ExprKind::Binary:
        switch (e.op) {
          case Op::And:
          case Op::Or:
            if (IsBooleanKind(e.type)) {
              return "(" + Condition(*e.args[0]) + (e.op == Op::And ? " AND " : " OR ") + Condition(*e.args[1]) + ")";
            }
            break;
          case Op::Equal:
          case Op::NotEqual:
          case Op::Less:
          case Op::LessEqual:
          case Op::Greater:
          case Op::GreaterEqual: return Comparison(e.op, *e.args[0], *e.args[1]);
          default: break;
        }
        break;
      case ExprKind::Like: return Like(e);
      case ExprKind::Between: return Between(e);
      case ExprKind::InList: return InList(e);
      case ExprKind::InQuery: return InQuery(e);
      case ExprKind::IsNull: return "(" + Value(*e.args[0]) + (e.negated ? " IS NOT NULL)" : " IS NULL)");
      case ExprKind::Exists: return std::string(e.negated ? "(NOT " : "(") + "EXISTS (" + Subquery(*e.subquery) + "))";
      default: break;
    }
    // A value taken as a condition: Access's truth is any non-zero number.
    std::string v = Value(e);
    if (IsNumeric(e.type.kind) || e.type.kind == JetType::Null) {
      if (e.type.kind == JetType::Decimal) return "(" + Cast(v, e.type, MakeType(JetType::Bool)) + " <> 0)";
      return "((" + v + ") <> 0)";
    }
    return "(" + Cast(v, e.type, MakeType(JetType::Bool)) + " <> 0)";
  }

  // A condition as a Yes/No value: -1, 0 or NULL.
  static std::string AsYesNo(const std::string& condition) { return "(-" + condition + ")"; }

  // The common type two compared values are compared in, by Access's rules.
  static Type ComparisonType(const Type& a, const Type& b) {
    auto empty = [](JetType t) { return t == JetType::Null || t == JetType::Unknown; };
    if (empty(a.kind)) return b;
    if (empty(b.kind)) return a;
    if (a.kind == b.kind) return CommonType(a, b);
    if (IsTextual(a.kind) && IsTextual(b.kind)) return MakeType(JetType::Memo);
    if (a.kind == JetType::DateTimeExtended || b.kind == JetType::DateTimeExtended) {
      // Text reads as an extended date; anything else meets it as a Date/Time.
      const Type& other = a.kind == JetType::DateTimeExtended ? b : a;
      if (IsTextual(other.kind)) return MakeType(JetType::DateTimeExtended);
      return other.kind == JetType::DateTime ? other : MakeType(JetType::Double);
    }
    if (a.kind == JetType::DateTime || b.kind == JetType::DateTime) {
      const Type& other = a.kind == JetType::DateTime ? b : a;
      return IsTextual(other.kind) ? MakeType(JetType::DateTime) : MakeType(JetType::Double);
    }
    if (a.kind == JetType::Guid || b.kind == JetType::Guid) return MakeType(JetType::Text);
    if (IsTextual(a.kind) || IsTextual(b.kind)) {
      const Type& other = IsTextual(a.kind) ? b : a;
      if (other.kind == JetType::Bool) return MakeType(JetType::Integer);
      return IsNumeric(other.kind) ? other : MakeType(JetType::Text);
    }
    if (IsNumeric(a.kind) && IsNumeric(b.kind)) {
      if (a.kind == JetType::Bool || b.kind == JetType::Bool) return PromoteNumeric(a, b);
      return PromoteNumeric(a, b);
    }
    return CommonType(a, b);
  }

  // A value in the comparison type: a literal converted now (a text that is no number or
  // date is the statement's error), anything else by the engine.
  std::string Operand(const Expr& e, const Type& to) { return ConvertValue(Value(e), e.type, to); }

  std::string Comparison(Op op, const Expr& l, const Expr& r) {
    Type t = ComparisonType(l.type, r.type);
    const char* symbol = op == Op::Equal ? " = " : op == Op::NotEqual ? " <> " : op == Op::Less ? " < "
                         : op == Op::LessEqual ? " <= " : op == Op::Greater ? " > " : " >= ";
    // The collation goes on the left operand: the engine takes the left one's first, and an
    // expression such as IIf's CASE carries the collation of a comparison inside it.
    return "((" + Operand(l, t) + ")" + Collate(t) + symbol + "(" + Operand(r, t) + "))";
  }

  std::string Like(const Expr& e) {
    Type text = MakeType(JetType::Memo);
    std::string value = Operand(*e.args[0], text);
    std::string pattern = Operand(*e.args[1], text);
    std::string sql = "(jet_like(" + value + ", " + pattern + ", " + (e.accessPattern ? "1" : "0");
    if (e.args.size() > 2) sql += ", " + Operand(*e.args[2], text);
    // jet_like gives Access's -1 for a match; as a condition it is the engine's 1, like every
    // other condition, so that the value made of it is -1 again.
    sql += ") <> 0)";
    return e.negated ? "(NOT " + sql + ")" : sql;
  }

  std::string Between(const Expr& e) {
    Type t = ComparisonType(e.args[0]->type, CommonType(e.args[1]->type, e.args[2]->type));
    std::string sql = "((" + Operand(*e.args[0], t) + ")" + Collate(t) + (e.negated ? " NOT BETWEEN " : " BETWEEN ") +
                      Operand(*e.args[1], t) + " AND " + Operand(*e.args[2], t) + ")";
    return sql;
  }

  std::string InList(const Expr& e) {
    Type t = e.args[0]->type;
    for (std::size_t i = 1; i < e.args.size(); ++i) t = ComparisonType(t, e.args[i]->type);
    std::string sql = "((" + Operand(*e.args[0], t) + ")" + Collate(t) + (e.negated ? " NOT IN (" : " IN (");
    for (std::size_t i = 1; i < e.args.size(); ++i) sql += (i > 1 ? ", " : "") + Operand(*e.args[i], t);
    return sql + "))";
  }

  std::string InQuery(const Expr& e) {
    const Output& column = b_.queries.at(e.subquery.get()).at(0);
    Type t = ComparisonType(e.args[0]->type, column.type);
    std::string inner = Subquery(*e.subquery);
    if (!(t == column.type)) inner = "SELECT " + ConvertValue("c0", column.type, t) + " FROM (" + inner + ")";
    return "((" + Operand(*e.args[0], t) + ")" + Collate(t) + (e.negated ? " NOT IN (" : " IN (") + inner + "))";
  }

  std::string Subquery(const ast::Query& query) { return Query(query); }

  std::string Value(const Expr& e) {
    switch (e.kind) {
      case ExprKind::Null: return "NULL";
      case ExprKind::Boolean: return e.number != 0 ? "-1" : "0";
      case ExprKind::Number: return NumberLiteral(e);
      case ExprKind::Text: return Quoted(e.text);
      case ExprKind::Date: return RealLiteral(e.date);
      case ExprKind::Parameter: return "?" + std::to_string(e.parameter + 1);
      case ExprKind::Column: {
        if (e.ref.alias >= 0) return "c" + std::to_string(e.ref.alias);
        return SourceAlias(e.ref.depth, e.ref.scope) + ".c" + std::to_string(e.ref.column);
      }
      case ExprKind::Unary: return Unary(e);
      case ExprKind::Binary: return Binary(e);
      case ExprKind::Call: return Call(e);
      case ExprKind::Subquery: return "(" + Subquery(*e.subquery) + ")";
      case ExprKind::Case: return Case(e);
      case ExprKind::Star: return "*";
      default: return AsYesNo(Condition(e));
    }
  }

  std::string NumberLiteral(const Expr& e) {
    if (e.type.kind == JetType::Long) return e.text;
    double v = std::strtod(e.text.c_str(), nullptr);
    if (!std::isfinite(v)) {
      Fail("22003", "the number " + e.text + " is out of range");
      return "NULL";
    }
    return RealLiteral(v);
  }

  std::string Unary(const Expr& e) {
    const Expr& a = *e.args[0];
    if (e.op == Op::Not) {
      if (IsBooleanKind(e.type)) return AsYesNo("(NOT " + Condition(a) + ")");
      return "(~" + ConvertValue(Value(a), a.type, e.type) + ")";
    }
    std::string v = ConvertValue(Value(a), a.type, e.type);
    if (e.type.kind == JetType::Decimal) return "jet_dec_neg(" + v + ")";
    if (e.type.kind == JetType::Currency) return "jet_cur_sub(0, " + v + ")";
    // The operand may itself start with a minus (a negative literal): "--" would open a comment.
    return "(-(" + v + "))";
  }

  std::string Binary(const Expr& e) {
    const Expr& l = *e.args[0];
    const Expr& r = *e.args[1];
    switch (e.op) {
      case Op::Equal:
      case Op::NotEqual:
      case Op::Less:
      case Op::LessEqual:
      case Op::Greater:
      case Op::GreaterEqual: return AsYesNo(Comparison(e.op, l, r));
      case Op::And:
      case Op::Or:
      case Op::Xor:
      case Op::Eqv:
      case Op::Imp: return Logical(e, l, r);
      case Op::Concat: {
        Type text = e.type;
        return "jet_cat(" + Operand(l, text) + ", " + Operand(r, text) + ")";
      }
      default: return Arithmetic(e, l, r);
    }
  }

  std::string Logical(const Expr& e, const Expr& l, const Expr& r) {
    if (IsBooleanKind(e.type)) {
      std::string a = Condition(l), b = Condition(r);
      switch (e.op) {
        case Op::And: return AsYesNo("(" + a + " AND " + b + ")");
        case Op::Or: return AsYesNo("(" + a + " OR " + b + ")");
        case Op::Xor: return AsYesNo("((" + a + " <> 0) <> (" + b + " <> 0))");
        case Op::Eqv: return AsYesNo("((" + a + " <> 0) = (" + b + " <> 0))");
        default: return AsYesNo("((NOT " + a + ") OR " + b + ")");
      }
    }
    // On numbers the logical operators work bit by bit.
    std::string a = Operand(l, e.type), b = Operand(r, e.type);
    switch (e.op) {
      case Op::And: return "((" + a + ") & (" + b + "))";
      case Op::Or: return "((" + a + ") | (" + b + "))";
      case Op::Xor: return "(((" + a + ") | (" + b + ")) - ((" + a + ") & (" + b + ")))";
      case Op::Eqv: return "(~(((" + a + ") | (" + b + ")) - ((" + a + ") & (" + b + "))))";
      default: return "((~(" + a + ")) | (" + b + "))";
    }
  }

  std::string Arithmetic(const Expr& e, const Expr& l, const Expr& r) {
    const Type& t = e.type;
    if (t.kind == JetType::Null) return "NULL";
    JetType lk = l.type.kind, rk = r.type.kind;
    // Text + text joins them, Null if either is Null.
    if (e.op == Op::Add && IsTextual(t.kind)) return "(" + Operand(l, t) + " || " + Operand(r, t) + ")";
    // Dates: a date and a number of days, or the days between two dates.
    if (lk == JetType::DateTime || rk == JetType::DateTime) {
      Type days = MakeType(JetType::Double);
      if ((e.op == Op::Add || e.op == Op::Subtract) && (t.kind == JetType::DateTime || t.kind == JetType::Double)) {
        std::string a = lk == JetType::DateTime ? Value(l) : Operand(l, days);
        std::string b = rk == JetType::DateTime ? Value(r) : Operand(r, days);
        return "(" + a + (e.op == Op::Add ? " + " : " - ") + b + ")";
      }
    }
    switch (e.op) {
      case Op::Add:
      case Op::Subtract:
      case Op::Multiply: {
        const char* symbol = e.op == Op::Add ? " + " : e.op == Op::Subtract ? " - " : " * ";
        if (t.kind == JetType::Decimal) {
          const char* f = e.op == Op::Add ? "jet_dec_add(" : e.op == Op::Subtract ? "jet_dec_sub(" : "jet_dec_mul(";
          return f + Operand(l, t) + ", " + Operand(r, t) + ")";
        }
        if (t.kind == JetType::Currency) {
          // Exact in ten-thousandths, and 22003 past Currency's range.
          const char* f = e.op == Op::Add ? "jet_cur_add(" : e.op == Op::Subtract ? "jet_cur_sub(" : "jet_cur_mul(";
          return f + Operand(l, t) + ", " + Operand(r, t) + ")";
        }
        std::string sql = "(" + Operand(l, t) + symbol + Operand(r, t) + ")";
        // The engine computes in doubles: a Single result is rounded to a Single at once, so that
        // the next operation starts from the value Access has.
        if (t.kind == JetType::Single) return Cast(sql, MakeType(JetType::Double), t);
        return sql;
      }
      case Op::Divide:
        if (t.kind == JetType::Decimal) return "jet_dec_div(" + Operand(l, t) + ", " + Operand(r, t) + ")";
        return "jet_div(" + Operand(l, t) + ", " + Operand(r, t) + ")";
      case Op::IntDivide:
      case Op::Mod: {
        // Both operands are rounded to whole numbers first (half to even).
        Type whole = MakeType(t.kind == JetType::BigInt ? JetType::BigInt : JetType::Long);
        std::string a = Operand(l, whole), b = Operand(r, whole);
        return std::string(e.op == Op::Mod ? "jet_mod(" : "jet_idiv(") + a + ", " + b + ")";
      }
      case Op::Power: return "jet_pow(" + Operand(l, t) + ", " + Operand(r, t) + ")";
      default: Fail("42000", "an operator the driver does not know"); return "NULL";
    }
  }

  std::string Case(const Expr& e) {
    std::size_t first = e.caseOperand ? 1 : 0;
    std::size_t end = e.hasElse ? e.args.size() - 1 : e.args.size();  // WHEN/THEN pairs lie in [first, end)
    std::string sql = "(CASE";
    Type operandType;
    if (e.caseOperand) {
      operandType = e.args[0]->type;
      for (std::size_t i = first; i < end; i += 2) operandType = ComparisonType(operandType, e.args[i]->type);
      sql += " (" + Operand(*e.args[0], operandType) + ")" + Collate(operandType);
    }
    for (std::size_t i = first; i + 1 < end + 1 && i < end; i += 2) {
      std::string when = e.caseOperand ? Operand(*e.args[i], operandType) : Condition(*e.args[i]);
      sql += " WHEN " + when + " THEN " + Operand(*e.args[i + 1], e.type);
    }
    if (e.hasElse) sql += " ELSE " + Operand(*e.args.back(), e.type);
    return sql + " END)";
  }

  std::string Call(const Expr& e) {
    const FunctionDef* def = FindFunction(e.path[0], e.text == "odbc");
    CallSite call;
    call.result = e.type;
    call.distinct = e.distinct;
    call.convert = &ConvertValue;
    for (const auto& a : e.args) {
      std::string sql = a->kind == ExprKind::Star ? "*" : Value(*a);
      if (def->aggregate && !pivotFilter_.empty() && a->kind != ExprKind::Star) {
        sql = "(CASE WHEN " + pivotFilter_ + " THEN " + sql + " END)";
      } else if (def->aggregate && !pivotFilter_.empty()) {
        sql = "(CASE WHEN " + pivotFilter_ + " THEN 1 END)";
      }
      call.args.push_back(std::move(sql));
      call.argTypes.push_back(a->kind == ExprKind::Star ? MakeType(JetType::Long) : a->type);
    }
    return def->emit(call);
  }

  // ---- TRANSFORM ... PIVOT ----

  bool Crosstab(ast::Statement& statement) {
    ast::Select& select = *statement.query->members[0];
    const SelectInfo& info = b_.selects.at(&select);
    ast::Crosstab& crosstab = *statement.crosstab;
    frames_.push_back({&info});
    std::string from = From(select, info);
    std::string where = select.where ? " WHERE " + Condition(*select.where) : "";
    std::string pivot = Value(*crosstab.pivot);
    Type pivotType = crosstab.pivot->type;
    // The pivot's values: the fixed list, or those the data holds, in order.
    struct Column {
      std::string literal;  // engine SQL of the value
      std::string label;
    };
    std::vector<Column> columns;
    if (!crosstab.columns.empty()) {
      for (const auto& v : crosstab.columns) {
        std::string literal = ConvertValue(Value(*v), v->type, pivotType);
        std::string label = v->kind == ExprKind::Text || v->kind == ExprKind::Number ? v->text : literal;
        columns.push_back({literal, label});
      }
    } else {
      if (!b_.parameters.empty()) {
        frames_.pop_back();
        return Fail("HYC00", "a crosstab query with parameters needs its columns listed with PIVOT ... IN (...)");
      }
      std::string probe = "SELECT DISTINCT (" + pivot + ")" + Collate(pivotType) + ", " +
                          ConvertValue("(" + pivot + ")", pivotType, MakeType(JetType::Text)) + from + where +
                          " ORDER BY 1" + Collate(pivotType);
      if (!PivotValues(probe, columns)) {
        frames_.pop_back();
        return false;
      }
    }
    std::vector<std::string> items;
    out_.outputs.clear();
    const std::vector<Output>& rowHeads = info.outputs;
    for (std::size_t i = 0; i < select.items.size(); ++i) {
      items.push_back(Value(*select.items[i].expr) + " AS c" + std::to_string(i));
      out_.outputs.push_back(rowHeads[i]);
    }
    for (const Column& c : columns) {
      pivotFilter_ = c.literal == "NULL" ? "(" + pivot + ") IS NULL"
                                         : "((" + pivot + ")" + Collate(pivotType) + " = " + c.literal + ")";
      items.push_back(Value(*crosstab.value) + " AS c" + std::to_string(items.size()));
      Output out;
      out.label = c.label;
      out.type = crosstab.value->type;
      out.origin.nullable = SQL_NULLABLE;
      out_.outputs.push_back(out);
    }
    pivotFilter_.clear();
    std::string group;
    for (const auto& g : select.groupBy) {
      group += group.empty() ? " GROUP BY " : ", ";
      group += "(" + Value(*g) + ")" + Collate(g->type);
    }
    std::string having = select.having ? " HAVING " + Condition(*select.having) : "";
    std::string order;
    for (const ast::OrderItem& o : select.orderBy) {
      order += order.empty() ? " ORDER BY " : ", ";
      order += "(" + Value(*o.expr) + ")" + Collate(o.expr->type) + (o.descending ? " DESC" : "");
    }
    if (order.empty()) {
      // Access orders a crosstab by its row headings.
      for (std::size_t i = 0; i < select.items.size(); ++i) {
        order += order.empty() ? " ORDER BY " : ", ";
        order += "c" + std::to_string(i) + Collate(rowHeads[i].type);
      }
    }
    frames_.pop_back();
    std::string list;
    for (const std::string& item : items) list += (list.empty() ? "" : ", ") + item;
    out_.sql = "SELECT " + list + from + where + group + having + order;
    return error_.state.empty();
  }

  // Runs the query that finds a crosstab's columns.
  template <typename Columns>
  bool PivotValues(const std::string& sql, Columns& columns) {
    for (std::size_t index : out_.tables) engine_.ProvideTableModule(index);
    SqlError failure;
    sqlite3_stmt* statement = engine_.Prepare(sql, failure);
    if (statement == nullptr) return Fail(failure.state, failure.message);
    constexpr std::size_t kMaxColumns = 1000;
    for (;;) {
      int rc = engine_.Step(statement, nullptr, failure);
      if (rc == SQLITE_DONE) break;
      if (rc != SQLITE_ROW) {
        sqlite3_finalize(statement);
        return Fail(failure.state, failure.message);
      }
      if (columns.size() >= kMaxColumns) {
        sqlite3_finalize(statement);
        return Fail("54000", "the crosstab would have more than " + std::to_string(kMaxColumns) + " columns");
      }
      std::string literal;
      switch (sqlite3_column_type(statement, 0)) {
        case SQLITE_NULL: literal = "NULL"; break;
        case SQLITE_INTEGER: literal = std::to_string(sqlite3_column_int64(statement, 0)); break;
        case SQLITE_FLOAT: literal = RealLiteral(sqlite3_column_double(statement, 0)); break;
        default: {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
          literal = Quoted(std::string_view(text == nullptr ? "" : text, static_cast<std::size_t>(sqlite3_column_bytes(statement, 0))));
        }
      }
      const auto* label = reinterpret_cast<const char*>(sqlite3_column_text(statement, 1));
      columns.push_back({literal, label == nullptr ? std::string("<>") : std::string(label)});
    }
    sqlite3_finalize(statement);
    return true;
  }

  Engine& engine_;
  BoundStatement& b_;
  Translation& out_;
  SqlError& error_;
  std::vector<Frame> frames_;
  std::string pivotFilter_;  // while a crosstab column is emitted: the rows its aggregates take
};

}  // namespace

bool Translate(Engine& engine, BoundStatement& bound, Translation& out, SqlError& error) {
  return Translator(engine, bound, out, error).Run();
}

}  // namespace mdbodbc::sql
