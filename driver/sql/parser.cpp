#include "parser.h"

#include "access_dates.h"
#include "lexer.h"

#include <array>

namespace mdbodbc::sql {
namespace {

using ast::Expr;
using ast::ExprKind;
using ast::ExprPtr;
using ast::Op;

// Nesting of expressions and subqueries deeper than this is refused rather than followed.
constexpr int kMaxDepth = 200;

// Words that end an expression or a name list: they cannot be a column's plain name.
constexpr std::array<std::string_view, 40> kReserved = {
    "ALL",    "AND",   "AS",      "ASC",       "BETWEEN", "BY",       "CASE",   "DESC",
    "DISTINCT", "DISTINCTROW", "ELSE", "END",  "EQV",     "EXISTS",   "FROM",   "GROUP",
    "HAVING", "IMP",   "IN",      "INNER",     "INTO",    "IS",       "JOIN",   "LIKE",
    "LIMIT",  "MOD",   "NOT",     "OFFSET",    "ON",      "OR",       "ORDER",  "OUTER",
    "PIVOT",  "SELECT", "THEN",   "UNION",     "WHEN",    "WHERE",
};

bool IsReserved(const Token& t) {
  if (t.kind != Token::Kind::Word) return false;
  for (std::string_view word : kReserved) {
    if (SameWord(t.text, word)) return true;
  }
  return SameWord(t.text, "XOR");
}

// Statement kinds that change the file or its design: the driver reads only.
constexpr std::array<std::string_view, 10> kWriting = {"INSERT", "UPDATE", "DELETE", "CREATE", "DROP",
                                                       "ALTER",  "GRANT",  "REVOKE", "ADD",    "REPLACE"};

class Parser {
 public:
  Parser(std::vector<Token> tokens, SqlError& error, bool accessPatterns)
      : tokens_(std::move(tokens)), error_(error), accessPatterns_(accessPatterns) {}

  std::unique_ptr<ast::Statement> Statement() {
    auto statement = std::make_unique<ast::Statement>();
    for (std::string_view word : kWriting) {
      if (Peek().IsKeyword(word)) {
        return Fail(Peek(), "the database is read-only: only SELECT statements can run, not " + Upper(Peek().text)), nullptr;
      }
    }
    if (Peek().IsSymbol("{") && Peek(1).IsKeyword("call")) return Call();
    if (Peek().IsSymbol("{") && Peek(1).kind == Token::Kind::Marker) {
      return Fail(Peek(), "procedures return no value here: call a query with {call name}"), nullptr;
    }
    if (Peek().IsKeyword("PARAMETERS") && !Parameters(*statement)) return nullptr;
    if (Peek().IsKeyword("TRANSFORM")) {
      Advance();
      statement->crosstab = std::make_unique<ast::Crosstab>();
      statement->crosstab->value = Expression();
      if (!statement->crosstab->value) return nullptr;
      if (!Peek().IsKeyword("SELECT")) return Expected("SELECT after TRANSFORM's value"), nullptr;
      statement->query = Query();
      if (!statement->query) return nullptr;
      if (!Keyword("PIVOT")) return Expected("PIVOT"), nullptr;
      statement->crosstab->pivot = Expression();
      if (!statement->crosstab->pivot) return nullptr;
      // PIVOT x IN (a, b) reads as one IN expression: its list is the crosstab's columns.
      ast::Crosstab& crosstab = *statement->crosstab;
      if (crosstab.pivot->kind == ExprKind::InList && !crosstab.pivot->negated) {
        ExprPtr list = std::move(crosstab.pivot);
        crosstab.pivot = std::move(list->args[0]);
        for (std::size_t i = 1; i < list->args.size(); ++i) crosstab.columns.push_back(std::move(list->args[i]));
      } else if (Keyword("IN")) {
        if (!Symbol("(")) return Expected("( after IN"), nullptr;
        do {
          ExprPtr value = Expression();
          if (!value) return nullptr;
          statement->crosstab->columns.push_back(std::move(value));
        } while (Symbol(","));
        if (!Symbol(")")) return Expected(")"), nullptr;
      }
    } else {
      if (!Peek().IsKeyword("SELECT") && !Peek().IsSymbol("(")) {
        if (Peek().kind == Token::Kind::End) return Fail(Peek(), "the statement is empty"), nullptr;
        return Expected("SELECT"), nullptr;
      }
      statement->query = Query();
      if (!statement->query) return nullptr;
    }
    while (Symbol(";")) {
    }
    if (Peek().kind != Token::Kind::End) {
      if (Peek().IsKeyword("SELECT")) return Fail(Peek(), "only one statement can run at a time"), nullptr;
      return Expected("the end of the statement"), nullptr;
    }
    return statement;
  }

 private:
  const Token& Peek(std::size_t ahead = 0) const {
    std::size_t i = at_ + ahead;
    return i < tokens_.size() ? tokens_[i] : tokens_.back();
  }
  const Token& Advance() {
    const Token& t = Peek();
    if (at_ + 1 < tokens_.size()) ++at_;
    return t;
  }
  bool Keyword(std::string_view word) {
    if (!Peek().IsKeyword(word)) return false;
    Advance();
    return true;
  }
  bool Symbol(std::string_view symbol) {
    if (!Peek().IsSymbol(symbol)) return false;
    Advance();
    return true;
  }
  static std::string Upper(std::string text) {
    for (char& c : text) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
  }
  void Fail(const Token& at, const std::string& what) {
    if (!failed_) {
      error_ = {"42000", what + " (at offset " + std::to_string(at.offset) + ")"};
      failed_ = true;
    }
  }
  void Expected(const std::string& what) {
    Fail(Peek(), "syntax error: expected " + what + " but found " + Describe(Peek()));
  }
  // Keeps the nesting bounded: recursion follows the statement, never the machine's stack.
  struct Nest {
    explicit Nest(Parser& p) : parser(p) { ++parser.depth_; }
    ~Nest() { --parser.depth_; }
    bool tooDeep() const {
      if (parser.depth_ <= kMaxDepth) return false;
      parser.Fail(parser.Peek(), "the statement nests deeper than " + std::to_string(kMaxDepth) + " levels");
      return true;
    }
    Parser& parser;
  };

  ExprPtr Make(ExprKind kind, const Token& at) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->offset = at.offset;
    return e;
  }

  // {call name}, {call name(?, ...)}: the saved query `name`, its parameters given by the
  // markers in order.
  std::unique_ptr<ast::Statement> Call() {
    Advance();
    const Token& at = Advance();
    if (Peek().kind != Token::Kind::Word && Peek().kind != Token::Kind::Name) return Expected("a query's name"), nullptr;
    auto statement = std::make_unique<ast::Statement>();
    statement->query = std::make_unique<ast::Query>();
    auto select = std::make_unique<ast::Select>();
    select->offset = at.offset;
    ast::SelectItem all;
    all.expr = Make(ExprKind::Star, at);
    select->items.push_back(std::move(all));
    auto table = std::make_unique<ast::FromItem>();
    table->offset = Peek().offset;
    table->name.push_back(Advance().text);
    select->from.push_back(std::move(table));
    statement->query->members.push_back(std::move(select));
    if (Symbol("(")) {
      if (!Symbol(")")) {
        do {
          if (Peek().kind != Token::Kind::Marker) return Expected("? for each argument of the query"), nullptr;
          Advance();
        } while (Symbol(","));
        if (!Symbol(")")) return Expected(")"), nullptr;
      }
    }
    if (!Symbol("}")) return Expected("} closing {call"), nullptr;
    if (Peek().kind != Token::Kind::End) return Expected("the end of the statement"), nullptr;
    return statement;
  }

  // PARAMETERS name type [, ...];
  bool Parameters(ast::Statement& statement) {
    Advance();
    do {
      const Token& name = Peek();
      if (name.kind != Token::Kind::Word && name.kind != Token::Kind::Name) return Expected("a parameter's name"), false;
      Advance();
      ast::ParameterDeclaration declaration{name.text, {}, name.offset};
      // [Forms]![Orders]![OrderID]: one name of several parts.
      while ((Peek().IsSymbol("!") || Peek().IsSymbol(".")) &&
             (Peek(1).kind == Token::Kind::Word || Peek(1).kind == Token::Kind::Name)) {
        declaration.name += Advance().text;
        declaration.name += Advance().text;
      }
      // The type: one or more words (Text, Long, "Date", Text (50), Decimal (18, 4)).
      while (Peek().kind == Token::Kind::Word || Peek().kind == Token::Kind::Name) {
        if (!declaration.typeName.empty()) declaration.typeName += ' ';
        declaration.typeName += Advance().text;
      }
      if (Symbol("(")) {
        while (!Peek().IsSymbol(")") && Peek().kind != Token::Kind::End) Advance();
        if (!Symbol(")")) return Expected(")"), false;
      }
      if (declaration.typeName.empty()) return Expected("the type of parameter " + name.text), false;
      statement.parameters.push_back(std::move(declaration));
    } while (Symbol(","));
    if (!Symbol(";")) return Expected("; after the PARAMETERS declaration"), false;
    return true;
  }

  // member { UNION [ALL] member } [ORDER BY ...] [LIMIT n [OFFSET m]]
  std::unique_ptr<ast::Query> Query() {
    Nest nest(*this);
    if (nest.tooDeep()) return nullptr;
    auto query = std::make_unique<ast::Query>();
    for (;;) {
      std::unique_ptr<ast::Select> member;
      if (Peek().IsSymbol("(")) {
        // A member in parentheses may have its own ORDER BY (and TOP).
        Advance();
        std::unique_ptr<ast::Query> inner = Query();
        if (!inner) return nullptr;
        if (!Symbol(")")) return Expected(")"), nullptr;
        if (inner->members.size() != 1 || inner->limit) {
          return Fail(Peek(), "a UNION in parentheses cannot be a member of another UNION"), nullptr;
        }
        member = std::move(inner->members[0]);
        member->orderBy = std::move(inner->orderBy);
      } else {
        member = Select();
        if (!member) return nullptr;
      }
      query->members.push_back(std::move(member));
      if (!Keyword("UNION")) break;
      query->unionAll.push_back(Keyword("ALL"));
      if (!Peek().IsKeyword("SELECT") && !Peek().IsSymbol("(")) return Expected("SELECT after UNION"), nullptr;
    }
    if (Keyword("ORDER")) {
      if (!Keyword("BY")) return Expected("BY after ORDER"), nullptr;
      if (!OrderList(query->orderBy)) return nullptr;
    }
    if (Keyword("LIMIT")) {
      if (Peek().kind != Token::Kind::Number) return Expected("a row count after LIMIT"), nullptr;
      query->limit = Advance().text;
      if (Keyword("OFFSET")) {
        if (Peek().kind != Token::Kind::Number) return Expected("a row count after OFFSET"), nullptr;
        query->offsetRows = Advance().text;
      }
    }
    return query;
  }

  bool OrderList(std::vector<ast::OrderItem>& out) {
    do {
      ast::OrderItem item;
      item.expr = Expression();
      if (!item.expr) return false;
      if (Keyword("DESC") || Keyword("DESCENDING")) {
        item.descending = true;
      } else if (!Keyword("ASC")) {
        Keyword("ASCENDING");
      }
      out.push_back(std::move(item));
    } while (Symbol(","));
    return true;
  }

  bool TopClause(ast::Select& select) {
    const Token& at = Advance();
    if (Peek().kind != Token::Kind::Number) return Expected("a number after TOP"), false;
    select.top = ast::Top{Advance().text, false, at.offset};
    if (Keyword("PERCENT")) select.top->percent = true;
    return true;
  }

  std::unique_ptr<ast::Select> Select() {
    auto select = std::make_unique<ast::Select>();
    select->offset = Peek().offset;
    if (!Keyword("SELECT")) return Expected("SELECT"), nullptr;
    for (bool again = true; again;) {
      again = false;
      if (Keyword("DISTINCT")) {
        select->distinct = again = true;
      } else if (Keyword("DISTINCTROW")) {
        select->distinctRow = again = true;
      } else if (Keyword("ALL")) {
        again = true;
      } else if (Peek().IsKeyword("TOP") && Peek(1).kind == Token::Kind::Number && !select->top) {
        if (!TopClause(*select)) return nullptr;
        again = true;
      }
    }
    do {
      ast::SelectItem item;
      item.offset = Peek().offset;
      if (Peek().IsSymbol("*")) {
        item.expr = Make(ExprKind::Star, Advance());
      } else if ((Peek().kind == Token::Kind::Word || Peek().kind == Token::Kind::Name) &&
                 (Peek(1).IsSymbol(".") || Peek(1).IsSymbol("!")) && Peek(2).IsSymbol("*")) {
        item.expr = Make(ExprKind::Star, Peek());
        item.expr->path.push_back(Advance().text);
        Advance();
        Advance();
      } else {
        item.expr = Expression();
        if (!item.expr) return nullptr;
        if (Keyword("AS")) {
          if (Peek().kind != Token::Kind::Word && Peek().kind != Token::Kind::Name && Peek().kind != Token::Kind::Text) {
            return Expected("a name after AS"), nullptr;
          }
          item.alias = Advance().text;
        } else if (Peek().kind == Token::Kind::Name ||
                   (Peek().kind == Token::Kind::Word && !IsReserved(Peek()))) {
          item.alias = Advance().text;
        }
      }
      select->items.push_back(std::move(item));
    } while (Symbol(","));
    if (Peek().IsKeyword("INTO")) return Fail(Peek(), "the database is read-only: SELECT ... INTO makes a table"), nullptr;
    if (Keyword("FROM")) {
      do {
        std::unique_ptr<ast::FromItem> item = FromItem();
        if (!item) return nullptr;
        select->from.push_back(std::move(item));
      } while (Symbol(","));
    }
    if (Keyword("WHERE")) {
      select->where = Expression();
      if (!select->where) return nullptr;
    }
    if (Keyword("GROUP")) {
      if (!Keyword("BY")) return Expected("BY after GROUP"), nullptr;
      do {
        ExprPtr e = Expression();
        if (!e) return nullptr;
        select->groupBy.push_back(std::move(e));
      } while (Symbol(","));
    }
    if (Keyword("HAVING")) {
      select->having = Expression();
      if (!select->having) return nullptr;
    }
    return select;
  }

  // A table, a derived table or a join, with the joins that follow it.
  std::unique_ptr<ast::FromItem> FromItem() {
    Nest nest(*this);
    if (nest.tooDeep()) return nullptr;
    std::unique_ptr<ast::FromItem> left = FromPrimary();
    if (!left) return nullptr;
    for (;;) {
      ast::JoinKind kind;
      const Token& at = Peek();
      if (Keyword("INNER")) {
        kind = ast::JoinKind::Inner;
      } else if (Peek().IsKeyword("LEFT") && !Peek(1).IsSymbol("(")) {
        Advance();
        Keyword("OUTER");
        kind = ast::JoinKind::Left;
      } else if (Peek().IsKeyword("RIGHT") && !Peek(1).IsSymbol("(")) {
        Advance();
        Keyword("OUTER");
        kind = ast::JoinKind::Right;
      } else if (Peek().IsKeyword("CROSS")) {
        Advance();
        kind = ast::JoinKind::Cross;
      } else if (Peek().IsKeyword("JOIN")) {
        kind = ast::JoinKind::Inner;
      } else {
        return left;
      }
      if (!Keyword("JOIN")) return Expected("JOIN"), nullptr;
      auto join = std::make_unique<ast::FromItem>();
      join->kind = ast::FromItem::Kind::Join;
      join->offset = at.offset;
      join->join = kind;
      join->left = std::move(left);
      join->right = FromPrimary();
      if (!join->right) return nullptr;
      if (kind != ast::JoinKind::Cross) {
        if (!Keyword("ON")) return Expected("ON after the joined table"), nullptr;
        join->on = Expression();
        if (!join->on) return nullptr;
      }
      left = std::move(join);
    }
  }

  bool Alias(ast::FromItem& item) {
    if (Keyword("AS")) {
      if (Peek().kind != Token::Kind::Word && Peek().kind != Token::Kind::Name) return Expected("a name after AS"), false;
      item.alias = Advance().text;
    } else if (Peek().kind == Token::Kind::Name ||
               (Peek().kind == Token::Kind::Word && !IsReserved(Peek()) &&
                !Peek().IsKeyword("LEFT") && !Peek().IsKeyword("RIGHT") && !Peek().IsKeyword("CROSS"))) {
      item.alias = Advance().text;
    }
    return true;
  }

  std::unique_ptr<ast::FromItem> FromPrimary() {
    Nest nest(*this);
    if (nest.tooDeep()) return nullptr;
    const Token& at = Peek();
    if (Symbol("{")) {
      if (!Keyword("oj")) return Expected("oj after {"), nullptr;
      std::unique_ptr<ast::FromItem> item = FromItem();
      if (!item) return nullptr;
      if (!Symbol("}")) return Expected("} closing {oj"), nullptr;
      return item;
    }
    if (Symbol("(")) {
      if (Peek().IsKeyword("SELECT") || (Peek().IsSymbol("(") && LooksLikeQuery())) {
        auto item = std::make_unique<ast::FromItem>();
        item->kind = ast::FromItem::Kind::Derived;
        item->offset = at.offset;
        item->derived = Query();
        if (!item->derived) return nullptr;
        if (!Symbol(")")) return Expected(")"), nullptr;
        if (!Alias(*item)) return nullptr;
        return item;
      }
      std::unique_ptr<ast::FromItem> inner = FromItem();
      if (!inner) return nullptr;
      if (!Symbol(")")) return Expected(")"), nullptr;
      return inner;
    }
    // A quoted text where only a name can be ("t" from clients that quote names in double
    // quotes, as ODBC does elsewhere) names a table.
    if (Peek().kind != Token::Kind::Word && Peek().kind != Token::Kind::Name && Peek().kind != Token::Kind::Text) {
      return Expected("a table name"), nullptr;
    }
    if (Peek().kind == Token::Kind::Word && IsReserved(Peek())) return Expected("a table name"), nullptr;
    auto item = std::make_unique<ast::FromItem>();
    item->offset = at.offset;
    item->name.push_back(Advance().text);
    while (Peek().IsSymbol(".") && (Peek(1).kind == Token::Kind::Word || Peek(1).kind == Token::Kind::Name)) {
      Advance();
      item->name.push_back(Advance().text);
    }
    if (Peek().IsSymbol("(")) {
      return Fail(Peek(), item->name.back() + "(...) in FROM: only the tables and queries of the file can be read"), nullptr;
    }
    if (Peek().IsKeyword("IN") && Peek(1).kind == Token::Kind::Text) {
      return Fail(Peek(), "a table IN another database file: this driver reads only its own file"), nullptr;
    }
    if (!Alias(*item)) return nullptr;
    return item;
  }

  // After "(" and another "(": a query when the parentheses lead to SELECT.
  bool LooksLikeQuery() const {
    std::size_t i = 0;
    while (Peek(i).IsSymbol("(")) ++i;
    return Peek(i).IsKeyword("SELECT");
  }

  // Expressions, from the loosest operator to the tightest.
  ExprPtr Expression() {
    Nest nest(*this);
    if (nest.tooDeep()) return nullptr;
    return Imp();
  }

  using Level = ExprPtr (Parser::*)();

  ExprPtr BinaryLevel(Level next, std::initializer_list<std::pair<std::string_view, Op>> ops, bool words) {
    ExprPtr left = (this->*next)();
    while (left) {
      const Token& t = Peek();
      Op op = Op::None;
      for (const auto& [spelling, o] : ops) {
        if (words ? t.IsKeyword(spelling) : t.IsSymbol(spelling)) op = o;
      }
      if (op == Op::None) break;
      Advance();
      ExprPtr right = (this->*next)();
      if (!right) return nullptr;
      ExprPtr e = Make(ExprKind::Binary, t);
      e->offset = left->offset;
      e->op = op;
      e->args.push_back(std::move(left));
      e->args.push_back(std::move(right));
      left = std::move(e);
    }
    return left;
  }

  ExprPtr Imp() { return BinaryLevel(&Parser::Eqv, {{"IMP", Op::Imp}}, true); }
  ExprPtr Eqv() { return BinaryLevel(&Parser::Xor, {{"EQV", Op::Eqv}}, true); }
  ExprPtr Xor() { return BinaryLevel(&Parser::Or, {{"XOR", Op::Xor}}, true); }
  ExprPtr Or() { return BinaryLevel(&Parser::And, {{"OR", Op::Or}}, true); }
  ExprPtr And() { return BinaryLevel(&Parser::Not, {{"AND", Op::And}}, true); }

  ExprPtr Not() {
    if (Peek().IsKeyword("NOT") && !Peek(1).IsKeyword("EXISTS")) {
      Nest nest(*this);
      if (nest.tooDeep()) return nullptr;
      ExprPtr e = Make(ExprKind::Unary, Advance());
      e->op = Op::Not;
      ExprPtr operand = Not();
      if (!operand) return nullptr;
      e->args.push_back(std::move(operand));
      return e;
    }
    return Comparison();
  }

  ExprPtr Comparison() {
    ExprPtr left = Concat();
    if (!left) return nullptr;
    const Token& t = Peek();
    static constexpr std::pair<std::string_view, Op> kComparisons[] = {
        {"=", Op::Equal},   {"<>", Op::NotEqual},   {"<", Op::Less},
        {"<=", Op::LessEqual}, {">", Op::Greater}, {">=", Op::GreaterEqual}};
    for (const auto& [spelling, op] : kComparisons) {
      if (!t.IsSymbol(spelling)) continue;
      Advance();
      ExprPtr e = Make(ExprKind::Binary, t);
      e->offset = left->offset;
      e->op = op;
      e->args.push_back(std::move(left));
      if ((Peek().IsKeyword("ANY") || Peek().IsKeyword("SOME") || Peek().IsKeyword("ALL")) && Peek(1).IsSymbol("(")) {
        bool all = Peek().IsKeyword("ALL");
        if (op != Op::Equal || all) {
          return Fail(Peek(), "comparisons with ANY, SOME or ALL other than = ANY are not supported yet"), nullptr;
        }
        Advance();
        Advance();
        ExprPtr in = Make(ExprKind::InQuery, t);
        in->offset = e->offset;
        in->args.push_back(std::move(e->args[0]));
        in->subquery = Query();
        if (!in->subquery) return nullptr;
        if (!Symbol(")")) return Expected(")"), nullptr;
        return in;
      }
      ExprPtr right = Concat();
      if (!right) return nullptr;
      e->args.push_back(std::move(right));
      return e;
    }
    bool negated = false;
    if (Peek().IsKeyword("NOT") &&
        (Peek(1).IsKeyword("LIKE") || Peek(1).IsKeyword("BETWEEN") || Peek(1).IsKeyword("IN"))) {
      Advance();
      negated = true;
    }
    const Token& word = Peek();
    if (Keyword("LIKE")) {
      ExprPtr e = Make(ExprKind::Like, word);
      e->offset = left->offset;
      e->negated = negated;
      e->accessPattern = accessPatterns_;
      e->args.push_back(std::move(left));
      ExprPtr pattern = Concat();
      if (!pattern) return nullptr;
      e->args.push_back(std::move(pattern));
      if (Peek().IsSymbol("{") && Peek(1).IsKeyword("escape")) {
        Advance();
        Advance();
        if (Peek().kind != Token::Kind::Text) return Expected("the escape character in quotes"), nullptr;
        ExprPtr escape = Make(ExprKind::Text, Peek());
        escape->text = Advance().text;
        e->args.push_back(std::move(escape));
        if (!Symbol("}")) return Expected("} closing {escape"), nullptr;
      } else if (Keyword("ESCAPE")) {
        ExprPtr escape = Primary();
        if (!escape) return nullptr;
        e->args.push_back(std::move(escape));
      }
      return e;
    }
    if (Keyword("BETWEEN")) {
      ExprPtr e = Make(ExprKind::Between, word);
      e->offset = left->offset;
      e->negated = negated;
      e->args.push_back(std::move(left));
      ExprPtr low = Concat();
      if (!low) return nullptr;
      if (!Keyword("AND")) return Expected("AND in BETWEEN"), nullptr;
      ExprPtr high = Concat();
      if (!high) return nullptr;
      e->args.push_back(std::move(low));
      e->args.push_back(std::move(high));
      return e;
    }
    if (Keyword("IN")) {
      if (!Symbol("(")) return Expected("( after IN"), nullptr;
      if (Peek().IsKeyword("SELECT") || (Peek().IsSymbol("(") && LooksLikeQuery())) {
        ExprPtr e = Make(ExprKind::InQuery, word);
        e->offset = left->offset;
        e->negated = negated;
        e->args.push_back(std::move(left));
        e->subquery = Query();
        if (!e->subquery) return nullptr;
        if (!Symbol(")")) return Expected(")"), nullptr;
        return e;
      }
      ExprPtr e = Make(ExprKind::InList, word);
      e->offset = left->offset;
      e->negated = negated;
      e->args.push_back(std::move(left));
      do {
        ExprPtr value = Expression();
        if (!value) return nullptr;
        e->args.push_back(std::move(value));
      } while (Symbol(","));
      if (!Symbol(")")) return Expected(") closing the IN list"), nullptr;
      return e;
    }
    if (negated) return Expected("LIKE, BETWEEN or IN after NOT"), nullptr;
    if (Keyword("IS")) {
      ExprPtr e = Make(ExprKind::IsNull, word);
      e->offset = left->offset;
      e->negated = Keyword("NOT");
      if (!Keyword("NULL")) return Expected("NULL after IS"), nullptr;
      e->args.push_back(std::move(left));
      return e;
    }
    return left;
  }

  ExprPtr Concat() { return BinaryLevel(&Parser::Additive, {{"&", Op::Concat}}, false); }
  ExprPtr Additive() { return BinaryLevel(&Parser::Modulo, {{"+", Op::Add}, {"-", Op::Subtract}}, false); }
  ExprPtr Modulo() { return BinaryLevel(&Parser::IntDivide, {{"MOD", Op::Mod}}, true); }
  ExprPtr IntDivide() { return BinaryLevel(&Parser::Multiplicative, {{"\\", Op::IntDivide}}, false); }
  ExprPtr Multiplicative() {
    return BinaryLevel(&Parser::Unary, {{"*", Op::Multiply}, {"/", Op::Divide}}, false);
  }

  // Unary minus binds more loosely than ^: -2^2 is -4.
  ExprPtr Unary() {
    if (Peek().IsSymbol("-") || Peek().IsSymbol("+")) {
      Nest nest(*this);
      if (nest.tooDeep()) return nullptr;
      const Token& t = Advance();
      ExprPtr operand = Unary();
      if (!operand) return nullptr;
      if (t.IsSymbol("+")) return operand;
      // A negative number literal stays a literal, so that its type is the literal's.
      if (operand->kind == ExprKind::Number && operand->text[0] != '-') {
        operand->text.insert(0, "-");
        operand->offset = t.offset;
        return operand;
      }
      ExprPtr e = Make(ExprKind::Unary, t);
      e->op = Op::Negate;
      e->args.push_back(std::move(operand));
      return e;
    }
    return Power();
  }

  ExprPtr Power() {
    ExprPtr left = Primary();
    while (left && Peek().IsSymbol("^")) {
      const Token& t = Advance();
      ExprPtr right;
      if (Peek().IsSymbol("-") || Peek().IsSymbol("+")) {
        const Token& sign = Advance();
        ExprPtr operand = Primary();
        if (!operand) return nullptr;
        if (sign.IsSymbol("-")) {
          right = Make(ExprKind::Unary, sign);
          right->op = Op::Negate;
          right->args.push_back(std::move(operand));
        } else {
          right = std::move(operand);
        }
      } else {
        right = Primary();
      }
      if (!right) return nullptr;
      ExprPtr e = Make(ExprKind::Binary, t);
      e->offset = left->offset;
      e->op = Op::Power;
      e->args.push_back(std::move(left));
      e->args.push_back(std::move(right));
      left = std::move(e);
    }
    return left;
  }

  ExprPtr DateLiteral(const Token& t, std::optional<double> value, const std::string& shown) {
    if (!value) return Fail(t, shown + " is not a valid date"), nullptr;
    ExprPtr e = Make(ExprKind::Date, t);
    e->date = *value;
    return e;
  }

  // {fn f(...)}, {d '...'}, {t '...'}, {ts '...'}.
  ExprPtr Escape() {
    const Token& open = Advance();
    const Token& kind = Peek();
    if (kind.IsKeyword("fn")) {
      Advance();
      if (Peek().kind != Token::Kind::Word && Peek().kind != Token::Kind::Name) return Expected("a function name"), nullptr;
      ExprPtr call = NameOrCall();
      if (!call) return nullptr;
      // {fn CURRENT_TIME} and the others whose parentheses are optional: a call without arguments.
      if (call->kind == ExprKind::Column && call->path.size() == 1 && !call->bracketed) call->kind = ExprKind::Call;
      if (call->kind != ExprKind::Call) return Fail(kind, "{fn ...} needs a function call"), nullptr;
      call->text = "odbc";
      if (!Symbol("}")) return Expected("} closing {fn"), nullptr;
      return call;
    }
    if (kind.IsKeyword("d") || kind.IsKeyword("t") || kind.IsKeyword("ts")) {
      Advance();
      if (Peek().kind != Token::Kind::Text) return Expected("a quoted value in {" + kind.text + " ...}"), nullptr;
      const Token& literal = Advance();
      std::optional<double> value = ParseIsoDate(literal.text);
      bool hasTime = literal.text.find(':') != std::string::npos;
      bool hasDate = literal.text.find('-') != std::string::npos;
      if ((kind.IsKeyword("d") && hasTime) || (kind.IsKeyword("t") && hasDate)) value.reset();
      ExprPtr e = DateLiteral(literal, value, "'" + literal.text + "' in {" + kind.text + "}");
      if (!e) return nullptr;
      e->offset = open.offset;
      if (!Symbol("}")) return Expected("} closing {" + kind.text), nullptr;
      return e;
    }
    if (kind.IsKeyword("guid")) {
      Advance();
      if (Peek().kind != Token::Kind::Text) return Expected("a quoted GUID"), nullptr;
      ExprPtr e = Make(ExprKind::Text, open);
      e->text = "{" + Advance().text + "}";
      e->path.push_back("guid");
      if (!Symbol("}")) return Expected("} closing {guid"), nullptr;
      return e;
    }
    return Fail(open, "unknown escape clause {" + kind.text + " ...}"), nullptr;
  }

  // A name ([t].[c], t.c, Forms!f!c) or a function call f(...).
  ExprPtr NameOrCall() {
    const Token& first = Advance();
    ExprPtr e = Make(ExprKind::Column, first);
    e->path.push_back(first.text);
    e->text = first.text;
    e->bracketed = first.kind == Token::Kind::Name;
    while ((Peek().IsSymbol(".") || Peek().IsSymbol("!")) &&
           (Peek(1).kind == Token::Kind::Word || Peek(1).kind == Token::Kind::Name)) {
      const Token& separator = Advance();
      if (separator.IsSymbol("!")) e->bracketed = true;
      if (Peek().kind == Token::Kind::Name) e->bracketed = true;
      e->text += separator.text + Peek().text;
      e->path.push_back(Advance().text);
    }
    if (first.kind == Token::Kind::Name && e->path.size() == 1 && !Peek().IsSymbol("(")) return e;
    if (!Peek().IsSymbol("(") || e->path.size() != 1) return e;
    Advance();
    e->kind = ExprKind::Call;
    e->text.clear();
    if (Symbol(")")) return e;
    if (Keyword("DISTINCT")) {
      e->distinct = true;
    } else {
      Keyword("ALL");
    }
    if (Peek().IsSymbol("*")) {
      e->args.push_back(Make(ExprKind::Star, Advance()));
    } else {
      do {
        ExprPtr arg = Expression();
        if (!arg) return nullptr;
        e->args.push_back(std::move(arg));
      } while (Symbol(","));
    }
    if (!Symbol(")")) return Expected(") closing the arguments of " + first.text), nullptr;
    return e;
  }

  ExprPtr Case() {
    ExprPtr e = Make(ExprKind::Case, Advance());
    if (!Peek().IsKeyword("WHEN")) {
      e->caseOperand = true;
      ExprPtr operand = Expression();
      if (!operand) return nullptr;
      e->args.push_back(std::move(operand));
    }
    while (Keyword("WHEN")) {
      ExprPtr when = Expression();
      if (!when) return nullptr;
      if (!Keyword("THEN")) return Expected("THEN"), nullptr;
      ExprPtr then = Expression();
      if (!then) return nullptr;
      e->args.push_back(std::move(when));
      e->args.push_back(std::move(then));
    }
    if (e->args.size() < (e->caseOperand ? 3u : 2u)) return Expected("WHEN"), nullptr;
    if (Keyword("ELSE")) {
      ExprPtr otherwise = Expression();
      if (!otherwise) return nullptr;
      e->args.push_back(std::move(otherwise));
      e->hasElse = true;
    }
    if (!Keyword("END")) return Expected("END closing CASE"), nullptr;
    return e;
  }

  ExprPtr Primary() {
    Nest nest(*this);
    if (nest.tooDeep()) return nullptr;
    const Token& t = Peek();
    switch (t.kind) {
      case Token::Kind::Number: {
        ExprPtr e = Make(ExprKind::Number, Advance());
        e->text = t.text;
        return e;
      }
      case Token::Kind::Text: {
        ExprPtr e = Make(ExprKind::Text, Advance());
        e->text = t.text;
        return e;
      }
      case Token::Kind::Date: {
        Advance();
        return DateLiteral(t, ParseAccessDate(t.text), "#" + t.text + "#");
      }
      case Token::Kind::Marker: {
        ExprPtr e = Make(ExprKind::Parameter, Advance());
        return e;
      }
      case Token::Kind::Name: return NameOrCall();
      case Token::Kind::Symbol:
        if (t.IsSymbol("(")) {
          Advance();
          if (Peek().IsKeyword("SELECT") || (Peek().IsSymbol("(") && LooksLikeQuery())) {
            ExprPtr e = Make(ExprKind::Subquery, t);
            e->subquery = Query();
            if (!e->subquery) return nullptr;
            if (!Symbol(")")) return Expected(") closing the subquery"), nullptr;
            return e;
          }
          ExprPtr inner = Expression();
          if (!inner) return nullptr;
          if (!Symbol(")")) return Expected(")"), nullptr;
          return inner;
        }
        if (t.IsSymbol("{")) return Escape();
        return Expected("an expression"), nullptr;
      case Token::Kind::Word: {
        if (t.IsKeyword("NULL")) {
          return Make(ExprKind::Null, Advance());
        }
        for (std::string_view word : {"TRUE", "YES", "ON"}) {
          if (t.IsKeyword(word)) {
            ExprPtr e = Make(ExprKind::Boolean, Advance());
            e->number = -1;
            return e;
          }
        }
        for (std::string_view word : {"FALSE", "NO", "OFF"}) {
          if (t.IsKeyword(word)) return Make(ExprKind::Boolean, Advance());
        }
        if (t.IsKeyword("EXISTS") || (t.IsKeyword("NOT") && Peek(1).IsKeyword("EXISTS"))) {
          bool negated = t.IsKeyword("NOT");
          if (negated) Advance();
          ExprPtr e = Make(ExprKind::Exists, Advance());
          e->negated = negated;
          if (!Symbol("(")) return Expected("( after EXISTS"), nullptr;
          e->subquery = Query();
          if (!e->subquery) return nullptr;
          if (!Symbol(")")) return Expected(")"), nullptr;
          return e;
        }
        if (t.IsKeyword("CASE")) return Case();
        if ((t.IsKeyword("LEFT") || t.IsKeyword("RIGHT") || t.IsKeyword("ASC")) && Peek(1).IsSymbol("(")) {
          return NameOrCall();
        }
        if (IsReserved(t)) return Expected("an expression"), nullptr;
        return NameOrCall();
      }
      case Token::Kind::End: return Expected("an expression"), nullptr;
    }
    return Expected("an expression"), nullptr;
  }

  std::vector<Token> tokens_;
  std::size_t at_ = 0;
  SqlError& error_;
  bool failed_ = false;
  int depth_ = 0;
  bool accessPatterns_;
};

}  // namespace

std::unique_ptr<ast::Statement> ParseStatement(std::string_view text, SqlError& error, bool savedQuery) {
  LexResult lexed = Lex(text);
  if (!lexed.ok()) {
    error = {"42000", lexed.error};
    return nullptr;
  }
  return Parser(std::move(lexed.tokens), error, savedQuery).Statement();
}

bool NativeStatement(std::string_view text, std::string& out, SqlError& error) {
  LexResult lexed = Lex(text);
  if (!lexed.ok()) {
    error = {"42000", lexed.error};
    return false;
  }
  // Rebuilds the text from its own spelling, dropping the escape clauses' braces and keywords
  // and writing their literals as Access writes them.
  out.clear();
  const std::vector<Token>& t = lexed.tokens;
  std::size_t copied = 0;
  std::vector<bool> dropped;  // for each open {: whether its } goes too
  for (std::size_t i = 0; i < t.size(); ++i) {
    if (t[i].IsSymbol("}") && !dropped.empty()) {
      if (dropped.back()) {
        out.append(text.substr(copied, t[i].offset - copied));
        copied = t[i].offset + 1;
      }
      dropped.pop_back();
      continue;
    }
    if (!t[i].IsSymbol("{") || i + 1 >= t.size()) continue;
    const Token& kind = t[i + 1];
    out.append(text.substr(copied, t[i].offset - copied));
    if ((kind.IsKeyword("d") || kind.IsKeyword("t") || kind.IsKeyword("ts")) && i + 3 < t.size() &&
        t[i + 2].kind == Token::Kind::Text && t[i + 3].IsSymbol("}")) {
      out += "#" + t[i + 2].text + "#";
      copied = t[i + 3].offset + 1;
      i += 3;
    } else if (kind.IsKeyword("fn") || kind.IsKeyword("oj") || kind.IsKeyword("escape")) {
      if (kind.IsKeyword("escape")) {
        out += "ESCAPE";
        copied = kind.offset + kind.text.size();
      } else {
        copied = i + 2 < t.size() ? t[i + 2].offset : kind.offset + kind.text.size();
      }
      dropped.push_back(true);
      ++i;
    } else {
      copied = t[i].offset;
      dropped.push_back(false);
    }
  }
  out.append(text.substr(copied));
  return true;
}

}  // namespace mdbodbc::sql
