#include "binder.h"

#include "column_description.h"
#include "engine.h"
#include "function_library.h"
#include "parser.h"
#include "translator.h"

#include "text/case_fold.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <limits>
#include <set>

namespace mdbodbc::sql {
namespace {

using ast::Expr;
using ast::ExprKind;
using ast::Op;

// Saved queries that read saved queries: a chain longer than this (or one that returns to a
// query already being read) is refused.
constexpr int kMaxExpansionDepth = 32;

bool SameName(std::string_view a, std::string_view b) { return textconv::EqualFolded(a, b); }

Type TypeOfColumn(const jet::Column& c) {
  using jet::ColumnType;
  Type t;
  switch (c.type) {
    case ColumnType::Bool: t.kind = JetType::Bool; break;
    case ColumnType::Byte: t.kind = JetType::Byte; break;
    case ColumnType::Integer: t.kind = JetType::Integer; break;
    case ColumnType::Long: t.kind = JetType::Long; break;
    case ColumnType::BigInt: t.kind = JetType::BigInt; break;
    case ColumnType::Money: t.kind = JetType::Currency; break;
    case ColumnType::Single: t.kind = JetType::Single; break;
    case ColumnType::Double: t.kind = JetType::Double; break;
    case ColumnType::DateTime: t.kind = JetType::DateTime; break;
    case ColumnType::DateTimeExtended: t.kind = JetType::DateTimeExtended; break;
    case ColumnType::Text:
      t.kind = JetType::Text;
      t.size = c.maxCharacters > 0 ? c.maxCharacters : c.storedLength / 2;
      break;
    case ColumnType::Memo:
    case ColumnType::Complex: t.kind = JetType::Memo; break;
    case ColumnType::Binary:
      t.kind = JetType::Binary;
      t.size = c.storedLength;
      break;
    case ColumnType::Ole: t.kind = JetType::LongBinary; break;
    case ColumnType::Guid: t.kind = JetType::Guid; break;
    case ColumnType::Numeric:
      t.kind = JetType::Decimal;
      t.precision = c.precision;
      t.scale = c.scale;
      break;
  }
  return t;
}

// The type a PARAMETERS declaration names, by Access's type names and their synonyms.
bool DeclaredType(std::string name, Type& out) {
  std::string word;
  for (char c : name) {
    if (c == ' ') break;
    word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  static const std::pair<std::string_view, JetType> kNames[] = {
      {"bit", JetType::Bool},          {"yesno", JetType::Bool},        {"boolean", JetType::Bool},
      {"logical", JetType::Bool},      {"byte", JetType::Byte},         {"tinyint", JetType::Byte},
      {"short", JetType::Integer},     {"smallint", JetType::Integer},  {"integer2", JetType::Integer},
      {"long", JetType::Long},         {"int", JetType::Long},          {"integer", JetType::Long},
      {"integer4", JetType::Long},     {"counter", JetType::Long},      {"autoincrement", JetType::Long},
      {"single", JetType::Single},     {"real", JetType::Single},       {"float4", JetType::Single},
      {"ieeesingle", JetType::Single}, {"double", JetType::Double},     {"float", JetType::Double},
      {"float8", JetType::Double},     {"ieeedouble", JetType::Double}, {"number", JetType::Double},
      {"numeric", JetType::Decimal},   {"decimal", JetType::Decimal},   {"currency", JetType::Currency},
      {"money", JetType::Currency},    {"datetime", JetType::DateTime}, {"date", JetType::DateTime},
      {"time", JetType::DateTime},     {"timestamp", JetType::DateTime}, {"text", JetType::Text},
      {"char", JetType::Text},         {"varchar", JetType::Text},      {"string", JetType::Text},
      {"alphanumeric", JetType::Text}, {"value", JetType::Text},        {"memo", JetType::Memo},
      {"longtext", JetType::Memo},     {"longchar", JetType::Memo},     {"note", JetType::Memo},
      {"binary", JetType::Binary},     {"varbinary", JetType::Binary},  {"longbinary", JetType::LongBinary},
      {"oleobject", JetType::LongBinary}, {"general", JetType::LongBinary}, {"image", JetType::LongBinary},
      {"guid", JetType::Guid},         {"uniqueidentifier", JetType::Guid},
  };
  for (const auto& [n, kind] : kNames) {
    if (word == n) {
      out = MakeType(kind);
      if (kind == JetType::Decimal) {
        out.precision = 18;
        out.scale = 0;
      }
      return true;
    }
  }
  return false;
}

// The type of a number literal: a whole number that fits a Long is a Long, any other a Double.
Type NumberType(const std::string& spelling) {
  if (spelling.find_first_of(".eE") == std::string::npos) {
    std::int64_t value = 0;
    auto [end, ec] = std::from_chars(spelling.data(), spelling.data() + spelling.size(), value);
    if (ec == std::errc() && end == spelling.data() + spelling.size() &&
        value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
      return MakeType(JetType::Long);
    }
  }
  return MakeType(JetType::Double);
}

bool IsBooleanExpression(const Expr& e) { return e.type.kind == JetType::Bool; }

// Two expressions that compute the same value from the same columns.
bool SameExpression(const Expr& a, const Expr& b) {
  if (a.kind != b.kind || a.op != b.op || a.args.size() != b.args.size() || a.negated != b.negated ||
      a.distinct != b.distinct) {
    return false;
  }
  switch (a.kind) {
    case ExprKind::Column:
      return a.ref.alias < 0 && b.ref.alias < 0 && a.ref.scope == b.ref.scope && a.ref.column == b.ref.column &&
             a.ref.depth == b.ref.depth;
    case ExprKind::Number:
    case ExprKind::Text: return a.text == b.text;
    case ExprKind::Date: return a.date == b.date;
    case ExprKind::Boolean: return a.number == b.number;
    case ExprKind::Parameter: return a.parameter == b.parameter;
    case ExprKind::Call:
      if (a.path.empty() || b.path.empty() || !SameName(a.path[0], b.path[0]) || a.text != b.text) return false;
      break;
    case ExprKind::Subquery:
    case ExprKind::Exists:
    case ExprKind::InQuery: return false;
    default: break;
  }
  for (std::size_t i = 0; i < a.args.size(); ++i) {
    if (!SameExpression(*a.args[i], *b.args[i])) return false;
  }
  return true;
}

class Binder {
 public:
  Binder(Engine& engine, BoundStatement& bound, SqlError& error) : engine_(engine), b_(bound), error_(error) {}

  bool Run() {
    expanding_ = b_.expanding;
    ast::Statement& statement = *b_.statement;
    if (!Declare(statement.parameters, 0)) return false;
    if (!BindQuery(*statement.query, nullptr)) return false;
    if (statement.crosstab && !BindCrosstab(statement)) return false;
    FinishParameters();
    return true;
  }

 private:
  struct Scope {
    ast::Select* select = nullptr;
    SelectInfo* info = nullptr;
    Scope* outer = nullptr;
  };
  struct Context {
    bool aggregatesAllowed = false;
    bool inAggregate = false;
    bool orderBy = false;  // names may be the select's aliases
  };
  struct ParameterRecord {
    ParameterInfo info;
    int phase = 0;          // 0: the statement's text; then each saved query in the order read
    std::size_t order = 0;  // declaration order or offset in its text
    std::vector<Expr*> uses;
  };

  bool Fail(const std::string& state, const std::string& message, std::size_t offset) {
    if (error_.state.empty()) {
      error_ = {state, phase_ == 0 ? message + " (at offset " + std::to_string(offset) + ")"
                                   : message + " (in the saved query \"" + savedName_ + "\")"};
    }
    return false;
  }

  // PARAMETERS: each declared name is one parameter, in the order declared.
  bool Declare(const std::vector<ast::ParameterDeclaration>& declarations, int phase) {
    for (const ast::ParameterDeclaration& d : declarations) {
      Type type;
      if (!DeclaredType(d.typeName, type)) {
        return Fail("42000", "\"" + d.typeName + "\" is not a type a parameter can be declared with", d.offset);
      }
      ParameterRecord* record = Named(d.name);
      if (record == nullptr) {
        parameters_.push_back({{d.name, type, true}, phase, declared_++, {}});
        continue;
      }
      if (!record->info.declared) {
        record->info.type = type;
        record->info.declared = true;
      }
    }
    return true;
  }

  ParameterRecord* Named(std::string_view name) {
    for (ParameterRecord& p : parameters_) {
      if (!p.info.name.empty() && SameName(p.info.name, name)) return &p;
    }
    return nullptr;
  }

  void UseParameter(Expr& e, std::string_view name) {
    ParameterRecord* record = name.empty() ? nullptr : Named(name);
    if (record == nullptr) {
      // Undeclared: numbered after the declared ones, by where they first appear.
      parameters_.push_back({{std::string(name), MakeType(JetType::Unknown), false}, phase_,
                             (std::size_t{1} << 32) + e.offset, {}});
      record = &parameters_.back();
    }
    e.kind = ExprKind::Parameter;
    e.type = record->info.type;
    record->uses.push_back(&e);
  }

  // A parameter used where a value of type `t` is wanted takes that type, unless something
  // gave it one already.
  void Suggest(Expr& e, const Type& t) {
    if (e.kind != ExprKind::Parameter || e.type.kind != JetType::Unknown) return;
    if (t.kind == JetType::Unknown || t.kind == JetType::Null) return;
    for (ParameterRecord& p : parameters_) {
      if (std::find(p.uses.begin(), p.uses.end(), &e) == p.uses.end()) continue;
      p.info.type = t;
      for (Expr* use : p.uses) use->type = t;
    }
  }

  void FinishParameters() {
    std::stable_sort(parameters_.begin(), parameters_.end(), [](const ParameterRecord& a, const ParameterRecord& b) {
      bool aDeclared = a.order < (std::size_t{1} << 32);
      bool bDeclared = b.order < (std::size_t{1} << 32);
      if (aDeclared != bDeclared) return aDeclared;
      if (a.phase != b.phase) return a.phase < b.phase;
      return a.order < b.order;
    });
    b_.parameters.clear();
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
      ParameterRecord& p = parameters_[i];
      // Nothing said what it holds: Access takes an undeclared parameter as text.
      if (p.info.type.kind == JetType::Unknown) p.info.type = MakeType(JetType::Text);
      for (Expr* use : p.uses) {
        use->parameter = static_cast<int>(i);
        use->type = p.info.type;
      }
      b_.parameters.push_back(p.info);
    }
  }

  // ---- Queries and selects ----

  bool BindQuery(ast::Query& query, Scope* outer) {
    std::vector<Output> outputs;
    for (std::size_t m = 0; m < query.members.size(); ++m) {
      ast::Select& select = *query.members[m];
      if (!BindSelect(select, outer, query.members.size() == 1 ? &query.orderBy : nullptr)) return false;
      const std::vector<Output>& own = b_.selects[&select].outputs;
      if (m == 0) {
        outputs = own;
        continue;
      }
      if (own.size() != outputs.size()) {
        return Fail("42000", "the members of a UNION select " + std::to_string(outputs.size()) + " and " +
                                 std::to_string(own.size()) + " columns",
                    select.offset);
      }
      for (std::size_t i = 0; i < outputs.size(); ++i) {
        outputs[i].type = CommonType(outputs[i].type, own[i].type);
        if (!SameName(outputs[i].origin.baseTable, own[i].origin.baseTable) ||
            !SameName(outputs[i].origin.baseColumn, own[i].origin.baseColumn)) {
          outputs[i].origin.baseTable.clear();
          outputs[i].origin.baseColumn.clear();
        }
        if (own[i].origin.nullable != SQL_NO_NULLS) outputs[i].origin.nullable = SQL_NULLABLE;
      }
    }
    for (Output& o : outputs) {
      if (o.type.kind == JetType::Null || o.type.kind == JetType::Unknown) o.type = MakeType(JetType::Text);
    }
    if (query.members.size() > 1 && !query.orderBy.empty()) {
      // A UNION is ordered by its result columns: by name, alias or position.
      for (ast::OrderItem& item : query.orderBy) {
        if (!ResolveUnionOrder(*item.expr, outputs)) return false;
      }
    }
    b_.queries[&query] = std::move(outputs);
    return true;
  }

  bool ResolveUnionOrder(Expr& e, const std::vector<Output>& outputs) {
    if (e.kind == ExprKind::Number) {
      std::size_t position = 0;
      auto [end, ec] = std::from_chars(e.text.data(), e.text.data() + e.text.size(), position);
      if (ec != std::errc() || end != e.text.data() + e.text.size() || position < 1 || position > outputs.size()) {
        return Fail("42000", "ORDER BY " + e.text + " names no column of the UNION", e.offset);
      }
      e.ref.alias = static_cast<int>(position - 1);
      e.type = outputs[position - 1].type;
      return true;
    }
    if (e.kind == ExprKind::Column) {
      const std::string& name = e.path.back();
      for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (SameName(outputs[i].label, name) || SameName(outputs[i].origin.baseColumn, name)) {
          e.ref.alias = static_cast<int>(i);
          e.type = outputs[i].type;
          return true;
        }
      }
    }
    return Fail("42000", "a UNION can be ordered only by its result columns", e.offset);
  }

  bool BindSelect(ast::Select& select, Scope* outer, std::vector<ast::OrderItem>* queryOrder) {
    SelectInfo& info = b_.selects[&select];
    Scope scope{&select, &info, outer};
    for (auto& item : select.from) {
      if (!BindFrom(*item, scope)) return false;
    }
    // ON conditions see the sources of their join (all of this FROM, checked loosely).
    for (auto& item : select.from) {
      if (!BindJoinConditions(*item, scope)) return false;
    }
    Context plain;
    if (select.where) {
      if (!BindExpr(*select.where, scope, plain)) return false;
      if (ContainsAggregate(*select.where)) {
        return Fail("42000", "an aggregate function cannot be part of the WHERE clause", select.where->offset);
      }
    }
    for (auto& e : select.groupBy) {
      if (!BindExpr(*e, scope, plain)) return false;
      if (ContainsAggregate(*e)) return Fail("42000", "GROUP BY cannot hold an aggregate function", e->offset);
    }
    if (!ExpandStars(select, scope)) return false;
    Context items;
    items.aggregatesAllowed = true;
    for (ast::SelectItem& item : select.items) {
      if (!BindExpr(*item.expr, scope, items)) return false;
    }
    if (select.having && !BindExpr(*select.having, scope, items)) return false;
    if (queryOrder != nullptr && select.orderBy.empty()) {
      select.orderBy = std::move(*queryOrder);
      queryOrder->clear();
    }
    Context order = items;
    order.orderBy = true;
    for (ast::OrderItem& item : select.orderBy) {
      if (!BindOrderKey(*item.expr, select, scope, order)) return false;
    }
    bool aggregated = !select.groupBy.empty() || select.having != nullptr;
    for (const ast::SelectItem& item : select.items) aggregated = aggregated || ContainsAggregate(*item.expr);
    info.grouped = aggregated;
    if (aggregated) {
      for (const ast::SelectItem& item : select.items) {
        if (!CheckGrouped(*item.expr, select)) return false;
      }
      if (select.having && !CheckGrouped(*select.having, select)) return false;
      for (const ast::OrderItem& item : select.orderBy) {
        if (item.expr->ref.alias < 0 && !CheckGrouped(*item.expr, select)) return false;
      }
    }
    if (select.distinct && !select.orderBy.empty()) {
      for (const ast::OrderItem& item : select.orderBy) {
        if (item.expr->ref.alias >= 0) continue;
        bool listed = false;
        for (const ast::SelectItem& s : select.items) listed = listed || SameExpression(*s.expr, *item.expr);
        if (!listed) {
          return Fail("42000", "ORDER BY clause conflicts with DISTINCT: it orders by what the select list does not hold",
                      item.expr->offset);
        }
      }
    }
    if (select.top && !CheckTop(*select.top)) return false;
    // The result columns.
    info.outputs.clear();
    int unnamed = 1000;
    for (const ast::SelectItem& item : select.items) {
      Output out;
      out.type = item.expr->type;
      if (out.type.kind == JetType::Null || out.type.kind == JetType::Unknown) out.type = MakeType(JetType::Text);
      if (item.expr->kind == ExprKind::Column && item.expr->ref.alias < 0) {
        out.origin = ColumnOf(*item.expr, scope);
      } else {
        out.origin.nullable = SQL_NULLABLE;
      }
      out.origin.type = out.type;
      if (!item.alias.empty()) {
        out.label = item.alias;
      } else if (item.expr->kind == ExprKind::Column) {
        out.label = item.expr->path.back();
      } else if (item.expr->kind == ExprKind::Call && item.expr->aggregate && item.expr->args.size() == 1 &&
                 item.expr->args[0]->kind == ExprKind::Column) {
        std::string name = item.expr->path[0];
        if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        for (std::size_t i = 1; i < name.size(); ++i) {
          name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
        }
        out.label = name + "Of" + item.expr->args[0]->path.back();
      } else {
        out.label = "Expr" + std::to_string(unnamed++);
      }
      info.outputs.push_back(std::move(out));
    }
    return true;
  }

  bool CheckTop(const ast::Top& top) {
    double n = std::strtod(top.count.c_str(), nullptr);
    if (top.percent ? !(n >= 0 && n <= 100) : (top.count.find_first_of(".eE") != std::string::npos || n < 0)) {
      return Fail("42000", "TOP " + top.count + (top.percent ? " PERCENT" : "") + " is not a row count", top.offset);
    }
    return true;
  }

  SourceColumn ColumnOf(const Expr& e, Scope& scope) {
    Scope* s = &scope;
    for (int d = 0; d < e.ref.depth && s != nullptr; ++d) s = s->outer;
    if (s == nullptr || e.ref.scope < 0) return {};
    return s->info->sources[static_cast<std::size_t>(e.ref.scope)].columns[static_cast<std::size_t>(e.ref.column)];
  }

  // * and t.* become one column expression per column.
  bool ExpandStars(ast::Select& select, Scope& scope) {
    std::vector<ast::SelectItem> expanded;
    // A column name that two sources share is labelled with its source, as Access does.
    struct FoldedLess {
      bool operator()(const std::string& a, const std::string& b) const { return textconv::CompareFolded(a, b) < 0; }
    };
    std::map<std::string, int, FoldedLess> uses;
    for (const Source& source : scope.info->sources) {
      for (const SourceColumn& c : source.columns) ++uses[c.name];
    }
    for (ast::SelectItem& item : select.items) {
      if (item.expr->kind != ExprKind::Star) {
        expanded.push_back(std::move(item));
        continue;
      }
      if (scope.info->sources.empty()) return Fail("42000", "SELECT * needs a FROM clause", item.offset);
      bool found = false;
      for (std::size_t s = 0; s < scope.info->sources.size(); ++s) {
        const Source& source = scope.info->sources[s];
        if (!item.expr->path.empty() && !SameName(source.name, item.expr->path[0])) continue;
        found = true;
        for (std::size_t c = 0; c < source.columns.size(); ++c) {
          ast::SelectItem column;
          column.offset = item.offset;
          column.expr = std::make_unique<Expr>();
          column.expr->kind = ExprKind::Column;
          column.expr->offset = item.offset;
          column.expr->path = {source.name, source.columns[c].name};
          column.expr->ref.scope = static_cast<int>(s);
          column.expr->ref.column = static_cast<int>(c);
          column.expr->type = source.columns[c].type;
          if (uses[source.columns[c].name] > 1 && item.expr->path.empty()) {
            column.alias = source.name + "." + source.columns[c].name;
          }
          expanded.push_back(std::move(column));
        }
      }
      if (!found) return Fail("42S02", item.expr->path[0] + " is not a table of this statement", item.offset);
    }
    select.items = std::move(expanded);
    return true;
  }

  bool BindOrderKey(Expr& e, ast::Select& select, Scope& scope, const Context& context) {
    if (e.kind == ExprKind::Number && e.text.find_first_of(".eE-") == std::string::npos) {
      std::size_t position = std::strtoul(e.text.c_str(), nullptr, 10);
      if (position < 1 || position > select.items.size()) {
        return Fail("42000", "ORDER BY " + e.text + " names no column of the select list", e.offset);
      }
      e.ref.alias = static_cast<int>(position - 1);
      e.type = select.items[position - 1].expr->type;
      return true;
    }
    if (e.kind == ExprKind::Column && e.path.size() == 1) {
      for (std::size_t i = 0; i < select.items.size(); ++i) {
        if (!select.items[i].alias.empty() && SameName(select.items[i].alias, e.path[0])) {
          e.ref.alias = static_cast<int>(i);
          e.type = select.items[i].expr->type;
          return true;
        }
      }
    }
    return BindExpr(e, scope, context);
  }

  bool ContainsAggregate(const Expr& e) const {
    if (e.kind == ExprKind::Call && e.aggregate) return true;
    for (const auto& a : e.args) {
      if (ContainsAggregate(*a)) return true;
    }
    return false;
  }

  // In a grouped select every column outside an aggregate must be one of the groups.
  bool CheckGrouped(const Expr& e, const ast::Select& select) {
    if (e.kind == ExprKind::Call && e.aggregate) return true;
    for (const auto& g : select.groupBy) {
      if (SameExpression(e, *g)) return true;
    }
    if (e.kind == ExprKind::Column && e.ref.alias < 0 && e.ref.depth == 0) {
      std::string shown;
      for (const std::string& part : e.path) shown += (shown.empty() ? "" : ".") + part;
      return Fail("42000",
                  "the query does not hold " + shown + " as part of an aggregate function or in its GROUP BY",
                  e.offset);
    }
    for (const auto& a : e.args) {
      if (!CheckGrouped(*a, select)) return false;
    }
    return true;
  }

  // ---- FROM ----

  bool BindFrom(ast::FromItem& item, Scope& scope) {
    if (item.kind == ast::FromItem::Kind::Join) return BindFrom(*item.left, scope) && BindFrom(*item.right, scope);
    Source source;
    source.id = b_.nextSourceId++;
    if (item.kind == ast::FromItem::Kind::Derived) {
      // A derived table sees nothing of the select around it.
      if (!BindQuery(*item.derived, nullptr)) return false;
      source.query = item.derived.get();
      source.name = item.alias;
      for (const Output& o : b_.queries[item.derived.get()]) source.columns.push_back(Column(o));
    } else {
      if (item.name.size() > 1) {
        return Fail("42S02", item.name[0] + "." + item.name[1] + " names another database, which this driver does not open",
                    item.offset);
      }
      const std::string& name = item.name[0];
      source.name = item.alias.empty() ? name : item.alias;
      if (std::optional<std::size_t> index = engine_.FindCatalogTable(name)) {
        SqlError failure;
        const Engine::Table* table = engine_.ProvideCatalogTable(*index, failure);
        if (table == nullptr) return Fail(failure.state.empty() ? "HY000" : failure.state, failure.message, item.offset);
        source.isTable = true;
        source.catalogIndex = *index;
        if (item.alias.empty()) source.name = table->definition.name;
        for (const jet::Column& c : table->definition.columns) {
          ResultColumn described = DescribeJetColumn(c, table->definition.name);
          SourceColumn column;
          column.name = c.name;
          column.type = TypeOfColumn(c);
          column.nullable = described.nullable;
          column.baseTable = table->definition.name;
          column.baseColumn = c.name;
          column.autoUnique = c.autoNumber;
          source.columns.push_back(std::move(column));
        }
      } else if (const SavedQuery* saved = engine_.FindSavedQuery(name)) {
        if (item.alias.empty()) source.name = saved->name;
        if (saved->kind == SavedQuery::Kind::Crosstab) {
          if (!Crosstab(*saved, item.offset, source)) return false;
        } else {
          ast::Query* query = nullptr;
          if (!Expand(*saved, item.offset, query)) return false;
          source.query = query;
          for (const Output& o : b_.queries[query]) source.columns.push_back(Column(o));
        }
      } else {
        return Fail("42S02", name + " is not a table or query in this database", item.offset);
      }
    }
    for (const Source& other : scope.info->sources) {
      if (SameName(other.name, source.name)) {
        return Fail("42000", "two tables of the FROM clause are both called " + source.name + ": give one an alias",
                    item.offset);
      }
    }
    item.scope = static_cast<int>(scope.info->sources.size());
    scope.info->sources.push_back(std::move(source));
    return true;
  }

  static SourceColumn Column(const Output& o) {
    SourceColumn c = o.origin;
    c.name = o.label;
    c.type = o.type;
    return c;
  }

  bool CheckExpansion(const SavedQuery& saved, std::size_t offset) {
    if (!saved.problem.empty()) return Fail(saved.problemState, saved.problem, offset);
    for (const std::string& open : expanding_) {
      if (SameName(open, saved.name)) {
        return Fail("42000", "the saved query \"" + saved.name + "\" reads itself", offset);
      }
    }
    if (expanding_.size() >= kMaxExpansionDepth) {
      return Fail("42000", "saved queries read each other more than " + std::to_string(kMaxExpansionDepth) + " deep",
                  offset);
    }
    return true;
  }

  // A saved crosstab read as a table: bound and translated as a statement of its own, whose
  // columns are found in the data now.
  bool Crosstab(const SavedQuery& saved, std::size_t offset, Source& source) {
    if (!CheckExpansion(saved, offset)) return false;
    BoundStatement inner;
    SqlError parseError;
    inner.statement = ParseStatement(saved.sql, parseError, true);
    if (!inner.statement) {
      return Fail("42000", "the saved query \"" + saved.name + "\" cannot be read: " + parseError.message, offset);
    }
    inner.expanding = expanding_;
    inner.expanding.push_back(saved.name);
    SqlError failure;
    Translation translation;
    if (!Bind(engine_, inner, failure) || !Translate(engine_, inner, translation, failure)) {
      return Fail(failure.state, failure.message + " (in the crosstab query \"" + saved.name + "\")", offset);
    }
    if (!inner.parameters.empty()) {
      return Fail("HYC00", "the crosstab query \"" + saved.name + "\" takes parameters, so it cannot be read as a table",
                  offset);
    }
    source.sql = std::move(translation.sql);
    source.tables = std::move(translation.tables);
    for (const Output& o : translation.outputs) source.columns.push_back(Column(o));
    return true;
  }

  // A saved query read as a table: parsed from the text the file keeps and bound in its own
  // right.
  bool Expand(const SavedQuery& saved, std::size_t offset, ast::Query*& out) {
    if (!CheckExpansion(saved, offset)) return false;
    SqlError parseError;
    std::unique_ptr<ast::Statement> statement = ParseStatement(saved.sql, parseError, true);
    if (!statement) {
      return Fail("42000", "the saved query \"" + saved.name + "\" cannot be read: " + parseError.message, offset);
    }
    int outerPhase = phase_;
    std::string outerName = savedName_;
    phase_ = ++phases_;
    savedName_ = saved.name;
    expanding_.push_back(saved.name);
    bool ok = Declare(statement->parameters, phase_) && BindQuery(*statement->query, nullptr);
    expanding_.pop_back();
    phase_ = outerPhase;
    savedName_ = outerName;
    if (!ok) return false;
    out = statement->query.get();
    b_.expansions.push_back(std::move(statement));
    return true;
  }

  bool BindJoinConditions(ast::FromItem& item, Scope& scope) {
    if (item.kind != ast::FromItem::Kind::Join) return true;
    if (!BindJoinConditions(*item.left, scope) || !BindJoinConditions(*item.right, scope)) return false;
    if (!item.on) return true;
    Context plain;
    if (!BindExpr(*item.on, scope, plain)) return false;
    if (ContainsAggregate(*item.on)) return Fail("42000", "a join condition cannot hold an aggregate function", item.on->offset);
    return true;
  }

  // ---- Names ----

  // Finds the column `e` names in this select or the ones around it.
  bool ResolveColumn(Expr& e, Scope& scope) {
    int depth = 0;
    for (Scope* s = &scope; s != nullptr; s = s->outer, ++depth) {
      const std::vector<Source>& sources = s->info->sources;
      int foundSource = -1, foundColumn = -1;
      for (std::size_t i = 0; i < sources.size(); ++i) {
        if (e.path.size() == 2 && !SameName(sources[i].name, e.path[0])) continue;
        if (e.path.size() > 2) continue;
        for (std::size_t c = 0; c < sources[i].columns.size(); ++c) {
          if (!SameName(sources[i].columns[c].name, e.path.back())) continue;
          if (foundSource >= 0 && foundSource != static_cast<int>(i)) {
            return Fail("42000", "the column " + e.path.back() +
                                     " could be in more than one table of the FROM clause: name its table",
                        e.offset);
          }
          if (foundSource < 0) {
            foundSource = static_cast<int>(i);
            foundColumn = static_cast<int>(c);
          }
        }
      }
      if (foundSource >= 0) {
        e.ref.scope = foundSource;
        e.ref.column = foundColumn;
        e.ref.depth = depth;
        e.type = sources[static_cast<std::size_t>(foundSource)].columns[static_cast<std::size_t>(foundColumn)].type;
        return true;
      }
    }
    const std::string& shown = e.text;
    // Access reads a bracketed name that names nothing as a parameter, to be given a value; a
    // declared parameter is found by its plain name too.
    if (e.bracketed || Named(shown) != nullptr) {
      UseParameter(e, shown);
      return true;
    }
    if (e.path.size() == 2) {
      bool sourceKnown = false;
      for (Scope* s = &scope; s != nullptr; s = s->outer) {
        for (const Source& source : s->info->sources) sourceKnown = sourceKnown || SameName(source.name, e.path[0]);
      }
      if (!sourceKnown) return Fail("42S22", "Column " + shown + " not found: " + e.path[0] + " is not a table of this statement", e.offset);
    }
    return Fail("42S22", "Column " + shown + " not found", e.offset);
  }

  // ---- Expressions ----

  bool BindChildren(Expr& e, Scope& scope, const Context& context) {
    for (auto& a : e.args) {
      if (!BindExpr(*a, scope, context)) return false;
    }
    return true;
  }

  bool BindSubquery(ast::Query& query, Scope& scope, std::size_t offset, std::size_t columns) {
    if (!BindQuery(query, &scope)) return false;
    if (columns > 0 && b_.queries[&query].size() != columns) {
      return Fail("42000", "the subquery must return exactly one column", offset);
    }
    return true;
  }

  Type SubqueryType(const ast::Query& query) { return b_.queries[&query].at(0).type; }

  bool BindExpr(Expr& e, Scope& scope, const Context& context) {
    switch (e.kind) {
      case ExprKind::Null: e.type = MakeType(JetType::Null); return true;
      case ExprKind::Boolean: e.type = MakeType(JetType::Bool); return true;
      case ExprKind::Number: e.type = NumberType(e.text); return true;
      case ExprKind::Text:
        e.type = MakeType(!e.path.empty() && e.path[0] == "guid" ? JetType::Guid : JetType::Text);
        return true;
      case ExprKind::Date: e.type = MakeType(JetType::DateTime); return true;
      case ExprKind::Parameter:
        UseParameter(e, {});
        return true;
      case ExprKind::Column: return ResolveColumn(e, scope);
      case ExprKind::Star: return Fail("42000", "* is allowed only in a select list or COUNT(*)", e.offset);
      case ExprKind::Unary: return BindUnary(e, scope, context);
      case ExprKind::Binary: return BindBinary(e, scope, context);
      case ExprKind::Call: return BindCall(e, scope, context);
      case ExprKind::Like: {
        if (!BindChildren(e, scope, context)) return false;
        for (auto& a : e.args) Suggest(*a, MakeType(JetType::Text));
        e.type = MakeType(JetType::Bool);
        return true;
      }
      case ExprKind::Between: {
        if (!BindChildren(e, scope, context)) return false;
        Suggest(*e.args[0], CommonType(e.args[1]->type, e.args[2]->type));
        Suggest(*e.args[1], e.args[0]->type);
        Suggest(*e.args[2], e.args[0]->type);
        if (!Comparable(e.args[0]->type, e.args[1]->type, e.offset) ||
            !Comparable(e.args[0]->type, e.args[2]->type, e.offset)) {
          return false;
        }
        e.type = MakeType(JetType::Bool);
        return true;
      }
      case ExprKind::InList: {
        if (!BindChildren(e, scope, context)) return false;
        for (std::size_t i = 1; i < e.args.size(); ++i) {
          Suggest(*e.args[i], e.args[0]->type);
          Suggest(*e.args[0], e.args[i]->type);
          if (!Comparable(e.args[0]->type, e.args[i]->type, e.args[i]->offset)) return false;
        }
        e.type = MakeType(JetType::Bool);
        return true;
      }
      case ExprKind::InQuery: {
        if (!BindChildren(e, scope, context)) return false;
        if (!BindSubquery(*e.subquery, scope, e.offset, 1)) return false;
        Suggest(*e.args[0], SubqueryType(*e.subquery));
        if (!Comparable(e.args[0]->type, SubqueryType(*e.subquery), e.offset)) return false;
        e.type = MakeType(JetType::Bool);
        return true;
      }
      case ExprKind::IsNull:
        if (!BindChildren(e, scope, context)) return false;
        e.type = MakeType(JetType::Bool);
        return true;
      case ExprKind::Exists:
        if (!BindSubquery(*e.subquery, scope, e.offset, 0)) return false;
        e.type = MakeType(JetType::Bool);
        return true;
      case ExprKind::Subquery:
        if (!BindSubquery(*e.subquery, scope, e.offset, 1)) return false;
        e.type = SubqueryType(*e.subquery);
        return true;
      case ExprKind::Case: return BindCase(e, scope, context);
    }
    return Fail("42000", "an expression the driver does not know", e.offset);
  }

  // Values that a comparison can hold side by side; binary values compare only with binary.
  bool Comparable(const Type& a, const Type& b, std::size_t offset) {
    bool binaryA = IsBinary(a.kind), binaryB = IsBinary(b.kind);
    auto empty = [](JetType t) { return t == JetType::Null || t == JetType::Unknown; };
    if (binaryA != binaryB && !empty(a.kind) && !empty(b.kind)) {
      return Fail("22018", "data type mismatch: " + TypeName(a) + " compared with " + TypeName(b), offset);
    }
    return true;
  }

  bool BindUnary(Expr& e, Scope& scope, const Context& context) {
    if (!BindChildren(e, scope, context)) return false;
    const Type& t = e.args[0]->type;
    if (e.op == Op::Not) {
      Suggest(*e.args[0], MakeType(JetType::Bool));
      e.type = IsBooleanExpression(*e.args[0]) || t.kind == JetType::Null ? MakeType(JetType::Bool)
               : IsWhole(t.kind) ? (t.kind == JetType::Byte ? MakeType(JetType::Byte) : t)
                                 : MakeType(JetType::Long);
      if (t.kind == JetType::Bool || t.kind == JetType::Null || t.kind == JetType::Unknown) e.type = MakeType(JetType::Bool);
      return true;
    }
    Suggest(*e.args[0], MakeType(JetType::Double));
    switch (t.kind) {
      case JetType::Bool:
      case JetType::Byte: e.type = MakeType(JetType::Integer); break;
      case JetType::DateTimeExtended: e.type = MakeType(JetType::DateTime); break;
      case JetType::Text:
      case JetType::Memo:
      case JetType::Unknown: e.type = MakeType(JetType::Double); break;
      case JetType::Null: e.type = t; break;
      default:
        if (!IsNumeric(t.kind) && t.kind != JetType::DateTime) {
          return Fail("22018", "data type mismatch: a " + TypeName(t) + " value cannot be negated", e.offset);
        }
        e.type = t;
    }
    return true;
  }

  bool BindBinary(Expr& e, Scope& scope, const Context& context) {
    if (!BindChildren(e, scope, context)) return false;
    Expr& l = *e.args[0];
    Expr& r = *e.args[1];
    switch (e.op) {
      case Op::Equal:
      case Op::NotEqual:
      case Op::Less:
      case Op::LessEqual:
      case Op::Greater:
      case Op::GreaterEqual:
        Suggest(l, r.type);
        Suggest(r, l.type);
        if (!Comparable(l.type, r.type, e.offset)) return false;
        e.type = MakeType(JetType::Bool);
        return true;
      case Op::And:
      case Op::Or:
      case Op::Xor:
      case Op::Eqv:
      case Op::Imp:
        Suggest(l, MakeType(JetType::Bool));
        Suggest(r, MakeType(JetType::Bool));
        if (IsLogical(l.type) && IsLogical(r.type)) {
          e.type = MakeType(JetType::Bool);
        } else {
          e.type = PromoteNumeric(Integral(l.type), Integral(r.type));
        }
        return true;
      case Op::Concat:
        e.type = l.type.kind == JetType::Memo || r.type.kind == JetType::Memo ? MakeType(JetType::Memo)
                                                                              : MakeType(JetType::Text);
        Suggest(l, e.type);
        Suggest(r, e.type);
        return true;
      default: return BindArithmetic(e, l, r);
    }
  }

  static bool IsLogical(const Type& t) {
    return t.kind == JetType::Bool || t.kind == JetType::Null || t.kind == JetType::Unknown;
  }
  static Type Integral(const Type& t) {
    if (IsWhole(t.kind)) return t.kind == JetType::Bool ? MakeType(JetType::Integer) : t;
    return MakeType(JetType::Long);
  }

  bool BindArithmetic(Expr& e, Expr& l, Expr& r) {
    // A parameter in arithmetic takes the other operand's numeric type, or a Double.
    Type lt = l.type, rt = r.type;
    auto numericOrDouble = [](const Type& t) {
      return IsNumeric(t.kind) || t.kind == JetType::DateTime ? t : MakeType(JetType::Double);
    };
    Suggest(l, numericOrDouble(rt));
    Suggest(r, numericOrDouble(lt));
    // Date/Time Extended takes part in arithmetic as a Date/Time (the translator converts it).
    auto dated = [](const Type& t) {
      return t.kind == JetType::DateTimeExtended ? MakeType(JetType::DateTime) : t;
    };
    lt = dated(l.type);
    rt = dated(r.type);
    auto empty = [](const Type& t) { return t.kind == JetType::Null; };
    for (const Type* t : {&lt, &rt}) {
      if (IsBinary(t->kind) || t->kind == JetType::Guid) {
        return Fail("22018", "data type mismatch: " + TypeName(*t) + " values have no arithmetic", e.offset);
      }
    }
    auto asNumber = [](const Type& t) {
      if (IsTextual(t.kind) || t.kind == JetType::Unknown) return MakeType(JetType::Double);
      if (t.kind == JetType::DateTime) return MakeType(JetType::Double);
      if (t.kind == JetType::Null) return MakeType(JetType::Integer);
      return t;
    };
    auto texty = [](const Type& t) {
      return IsTextual(t.kind) || t.kind == JetType::Unknown || t.kind == JetType::Null;
    };
    switch (e.op) {
      case Op::Add:
        if (texty(lt) && texty(rt) && !(empty(lt) && empty(rt))) {
          e.type = lt.kind == JetType::Memo || rt.kind == JetType::Memo ? MakeType(JetType::Memo) : MakeType(JetType::Text);
          return true;
        }
        [[fallthrough]];
      case Op::Subtract:
        if (lt.kind == JetType::DateTime && rt.kind == JetType::DateTime) {
          e.type = MakeType(e.op == Op::Subtract ? JetType::Double : JetType::DateTime);
          return true;
        }
        if (lt.kind == JetType::DateTime || (rt.kind == JetType::DateTime && e.op == Op::Add)) {
          e.type = MakeType(JetType::DateTime);
          return true;
        }
        e.type = PromoteNumeric(asNumber(lt), asNumber(rt));
        break;
      case Op::Multiply: e.type = PromoteNumeric(asNumber(lt), asNumber(rt)); break;
      case Op::Divide:
        e.type = lt.kind == JetType::Decimal || rt.kind == JetType::Decimal ? PromoteNumeric(lt, rt)
                                                                            : MakeType(JetType::Double);
        break;
      case Op::IntDivide:
      case Op::Mod: {
        Type a = asNumber(lt), b = asNumber(rt);
        auto small = [](JetType t) { return t == JetType::Byte || t == JetType::Integer || t == JetType::Bool; };
        if (a.kind == JetType::Byte && b.kind == JetType::Byte) {
          e.type = MakeType(JetType::Byte);
        } else if (small(a.kind) && small(b.kind)) {
          e.type = MakeType(JetType::Integer);
        } else if (a.kind == JetType::BigInt || b.kind == JetType::BigInt) {
          e.type = MakeType(JetType::BigInt);
        } else {
          e.type = MakeType(JetType::Long);
        }
        break;
      }
      case Op::Power: e.type = MakeType(JetType::Double); break;
      default: return Fail("42000", "an operator the driver does not know", e.offset);
    }
    if (e.type.kind == JetType::Bool) e.type = MakeType(JetType::Integer);
    if (empty(lt) && empty(rt)) e.type = MakeType(JetType::Null);
    return true;
  }

  bool BindCase(Expr& e, Scope& scope, const Context& context) {
    if (!BindChildren(e, scope, context)) return false;
    std::size_t first = e.caseOperand ? 1 : 0;
    Type result = MakeType(JetType::Null);
    for (std::size_t i = first; i < e.args.size(); ++i) {
      bool isResult = e.hasElse && i + 1 == e.args.size() ? true : ((i - first) % 2 == 1);
      if (isResult) {
        result = CommonType(result, e.args[i]->type);
      } else if (e.caseOperand) {
        Suggest(*e.args[i], e.args[0]->type);
      }
    }
    e.type = result;
    return true;
  }

  bool BindCall(Expr& e, Scope& scope, const Context& context) {
    bool odbc = e.text == "odbc";
    const std::string& name = e.path[0];
    const FunctionDef* def = FindFunction(name, odbc);
    if (def == nullptr) {
      if (IsKnownUnsupported(name)) return Fail("42000", "function " + name + " is not supported yet", e.offset);
      return Fail("42000", "undefined function " + name + " in the expression", e.offset);
    }
    int count = static_cast<int>(e.args.size());
    if (count < def->minArgs || (def->maxArgs >= 0 && count > def->maxArgs)) {
      std::string wanted = def->minArgs == def->maxArgs ? std::to_string(def->minArgs)
                           : def->maxArgs < 0        ? "at least " + std::to_string(def->minArgs)
                                                      : std::to_string(def->minArgs) + " to " + std::to_string(def->maxArgs);
      return Fail("42000", "function " + name + " takes " + wanted + " arguments, not " + std::to_string(count), e.offset);
    }
    e.aggregate = def->aggregate;
    Context inner = context;
    if (def->aggregate) {
      if (!context.aggregatesAllowed) return Fail("42000", "the aggregate function " + name + " cannot be used here", e.offset);
      if (context.inAggregate) return Fail("42000", "an aggregate function cannot hold another one", e.offset);
      inner.inAggregate = true;
    }
    std::vector<Type> types;
    const int keywordAt = KeywordArgument(*def);
    std::string keyword;
    for (std::size_t i = 0; i < e.args.size(); ++i) {
      auto& a = e.args[i];
      if (static_cast<int>(i) == keywordAt) {
        // A keyword such as SQL_INTEGER or SQL_TSI_DAY: the function reads its name, not a column.
        if (a->kind == ExprKind::Column && a->path.size() == 1 && !a->bracketed) {
          a->kind = ExprKind::Text;
          a->text = a->path[0];
          a->path.clear();
        }
        if (a->kind == ExprKind::Text) keyword = a->text;
      }
      if (a->kind == ExprKind::Star) {
        if (!def->aggregate || count != 1) return Fail("42000", "* is an argument of COUNT only", a->offset);
        a->type = MakeType(JetType::Long);
      } else if (!BindExpr(*a, scope, inner)) {
        return false;
      }
      types.push_back(a->type);
    }
    std::string problem;
    Type result;
    bool fits = keywordAt >= 0 ? KeywordCallType(*def, keyword, types, result, problem) : def->type(types, result, problem);
    if (!fits) {
      return Fail("22018", "function " + name + ": " + problem, e.offset);
    }
    // An argument that is a parameter takes the type the function reads it as.
    for (std::size_t i = 0; i < e.args.size(); ++i) Suggest(*e.args[i], MakeType(JetType::Text));
    e.type = result;
    return true;
  }

  bool BindCrosstab(ast::Statement& statement) {
    ast::Query& query = *statement.query;
    if (query.members.size() != 1) return Fail("42000", "a crosstab query cannot be a UNION", 0);
    ast::Select& select = *query.members[0];
    if (select.groupBy.empty()) return Fail("42000", "a crosstab query needs GROUP BY for its row headings", select.offset);
    SelectInfo& info = b_.selects[&select];
    Scope scope{&select, &info, nullptr};
    Context items;
    items.aggregatesAllowed = true;
    ast::Crosstab& crosstab = *statement.crosstab;
    if (!BindExpr(*crosstab.value, scope, items)) return false;
    if (!ContainsAggregate(*crosstab.value)) {
      return Fail("42000", "TRANSFORM needs an aggregate function as its value", crosstab.value->offset);
    }
    Context plain;
    if (!BindExpr(*crosstab.pivot, scope, plain)) return false;
    for (auto& v : crosstab.columns) {
      if (!BindExpr(*v, scope, plain)) return false;
    }
    return true;
  }

  Engine& engine_;
  BoundStatement& b_;
  SqlError& error_;
  std::vector<ParameterRecord> parameters_;
  std::size_t declared_ = 0;
  int phase_ = 0;
  int phases_ = 0;
  std::string savedName_;
  std::vector<std::string> expanding_;
};

}  // namespace

bool Bind(Engine& engine, BoundStatement& bound, SqlError& error) { return Binder(engine, bound, error).Run(); }

}  // namespace mdbodbc::sql
