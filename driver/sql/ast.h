// The parse tree of an Access SQL statement. The parser fills in the shape; the binder then
// resolves every name and gives every expression its type, in the same nodes.
#pragma once

#include "jet_types.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mdbodbc::sql::ast {

struct Query;

enum class ExprKind : std::uint8_t {
  Null,       // Null
  Boolean,    // True/False/Yes/No/On/Off: number holds -1 or 0
  Number,     // text: the spelling
  Text,       // text: the value (UTF-8)
  Date,       // date: linear days
  Column,     // path: [qualifier,] name
  Parameter,  // ? (text empty) or [name] that names no column
  Unary,      // op, args[0]
  Binary,     // op, args[0], args[1]
  Call,       // path[0]: the function's name; args
  Like,       // args[0] LIKE args[1] [ESCAPE args[2]]; negated
  Between,    // args[0] BETWEEN args[1] AND args[2]; negated
  InList,     // args[0] IN (args[1..])
  InQuery,    // args[0] IN (subquery)
  IsNull,     // args[0] IS [NOT] NULL
  Exists,     // EXISTS (subquery)
  Subquery,   // (subquery) as a value
  Case,       // CASE [args[0] when operand?] WHEN ... THEN ... [ELSE ...] END: see caseOperand
  Star,       // * or t.* inside COUNT(*) or a select list
};

enum class Op : std::uint8_t {
  None,
  Negate, Not, Plus,                                 // unary
  Power, Multiply, Divide, IntDivide, Mod, Add, Subtract, Concat,
  Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual,
  And, Or, Xor, Eqv, Imp,
};

// What a Column expression was found to name.
struct ColumnRef {
  int scope = -1;   // the FROM source (within its select) whose column it is
  int column = -1;  // the column's position among that source's columns
  int depth = 0;    // 0: this select's source; 1: the select around it (correlated); ...
  int alias = -1;   // instead of a source: the select-list item whose alias it names
};

struct Expr {
  ExprKind kind = ExprKind::Null;
  Op op = Op::None;
  std::size_t offset = 0;  // where it starts in the statement
  std::string text;
  std::vector<std::string> path;
  double date = 0;
  std::int64_t number = 0;  // Boolean: -1 or 0
  bool negated = false;     // NOT LIKE, NOT BETWEEN, NOT IN, IS NOT NULL
  bool distinct = false;    // an aggregate's DISTINCT
  bool caseOperand = false; // Case: args[0] is the operand compared with each WHEN
  bool hasElse = false;     // Case: the last arg is the ELSE value
  bool bracketed = false;   // Column: written with [brackets] or ! (an unknown one is a parameter)
  bool accessPattern = false;  // Like: the pattern uses Access's * ? # (saved queries), not % _
  std::vector<std::unique_ptr<Expr>> args;
  std::unique_ptr<Query> subquery;

  // Filled by the binder.
  Type type;
  ColumnRef ref;
  int parameter = -1;       // Parameter: its number among the statement's parameters (0-based)
  bool aggregate = false;   // Call: an aggregate function
};

using ExprPtr = std::unique_ptr<Expr>;

struct SelectItem {
  ExprPtr expr;          // Star for * and t.*
  std::string alias;     // AS name; empty when none
  std::size_t offset = 0;
};

enum class JoinKind : std::uint8_t { Cross, Inner, Left, Right };

struct FromItem {
  enum class Kind : std::uint8_t { Table, Derived, Join } kind = Kind::Table;
  std::size_t offset = 0;
  std::vector<std::string> name;  // Table: [database?,] name as written
  std::string alias;
  std::unique_ptr<Query> derived;  // Derived
  JoinKind join = JoinKind::Cross;  // Join
  std::unique_ptr<FromItem> left, right;
  ExprPtr on;

  // Filled by the binder for Table and Derived: its place among the select's sources.
  int scope = -1;
};

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct Top {
  std::string count;  // the number's spelling
  bool percent = false;
  std::size_t offset = 0;
};

struct Select {
  std::size_t offset = 0;
  bool distinct = false;
  bool distinctRow = false;
  std::optional<Top> top;
  std::vector<SelectItem> items;
  std::vector<std::unique_ptr<FromItem>> from;
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;
  std::vector<OrderItem> orderBy;  // a member's own ORDER BY, written inside its parentheses
};

// A SELECT, or several joined by UNION [ALL], with the ORDER BY of the whole.
struct Query {
  std::vector<std::unique_ptr<Select>> members;
  std::vector<bool> unionAll;  // between member i and i+1
  std::vector<OrderItem> orderBy;
  std::optional<std::string> limit, offsetRows;  // LIMIT n [OFFSET m], the ODBC clients' form
};

struct ParameterDeclaration {
  std::string name;
  std::string typeName;
  std::size_t offset = 0;
};

// TRANSFORM aggregate SELECT ... PIVOT expression [IN (values)].
struct Crosstab {
  ExprPtr value;
  ExprPtr pivot;
  std::vector<ExprPtr> columns;  // IN (...): the fixed column values
};

struct Statement {
  std::vector<ParameterDeclaration> parameters;
  std::unique_ptr<Query> query;
  std::unique_ptr<Crosstab> crosstab;
};

}  // namespace mdbodbc::sql::ast
