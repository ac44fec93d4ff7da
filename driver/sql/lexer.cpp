#include "lexer.h"

namespace mdbodbc::sql {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsWordByte(char c) {
  auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' || c == '$' || u >= 0x80;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

class Lexer {
 public:
  explicit Lexer(std::string_view in) : in_(in) {}

  LexResult Run() {
    LexResult result;
    while (error_.empty()) {
      SkipBlanksAndComments();
      if (!error_.empty()) break;
      if (at_ >= in_.size()) {
        result.tokens.push_back({Token::Kind::End, {}, at_});
        break;
      }
      Next(result.tokens);
    }
    result.error = error_;
    return result;
  }

 private:
  char Peek(std::size_t ahead = 0) const { return at_ + ahead < in_.size() ? in_[at_ + ahead] : '\0'; }

  void Fail(std::size_t where, const std::string& what) {
    if (error_.empty()) error_ = what + " at offset " + std::to_string(where);
  }

  void SkipBlanksAndComments() {
    while (at_ < in_.size()) {
      char c = in_[at_];
      if (c == '\0') return Fail(at_, "the statement text holds a NUL character");
      if (IsBlank(c)) {
        ++at_;
      } else if (c == '-' && Peek(1) == '-') {
        std::size_t end = in_.find('\n', at_);
        at_ = end == std::string_view::npos ? in_.size() : end + 1;
      } else if (c == '/' && Peek(1) == '*') {
        std::size_t end = in_.find("*/", at_ + 2);
        if (end == std::string_view::npos) return Fail(at_, "a comment /* is not closed");
        at_ = end + 2;
      } else {
        return;
      }
    }
  }

  // Reads up to the closing mark; a doubled closing mark inside stands for one.
  bool Quoted(char close, std::string& out) {
    ++at_;
    for (;;) {
      if (at_ >= in_.size()) return false;
      char c = in_[at_];
      if (c == '\0') {
        Fail(at_, "the statement text holds a NUL character");
        return true;
      }
      if (c == close) {
        if (Peek(1) == close) {
          out += close;
          at_ += 2;
          continue;
        }
        ++at_;
        return true;
      }
      out += c;
      ++at_;
    }
  }

  void Next(std::vector<Token>& tokens) {
    std::size_t start = at_;
    char c = in_[at_];
    Token token;
    token.offset = start;
    if (c == '\'' || c == '"') {
      token.kind = Token::Kind::Text;
      if (!Quoted(c, token.text)) return Fail(start, "a text literal is not closed");
    } else if (c == '[' || c == '`') {
      token.kind = Token::Kind::Name;
      if (!Quoted(c == '[' ? ']' : '`', token.text)) return Fail(start, "a bracketed name is not closed");
      if (token.text.empty()) return Fail(start, "a bracketed name is empty");
    } else if (c == '#') {
      std::size_t close = in_.find('#', at_ + 1);
      if (close == std::string_view::npos) return Fail(start, "a date literal # is not closed");
      token.kind = Token::Kind::Date;
      token.text = std::string(in_.substr(at_ + 1, close - at_ - 1));
      at_ = close + 1;
    } else if (IsDigit(c) || (c == '.' && IsDigit(Peek(1)))) {
      token.kind = Token::Kind::Number;
      Number();
      token.text = std::string(in_.substr(start, at_ - start));
      if (at_ < in_.size() && IsWordByte(in_[at_]) && in_[at_] != '$') {
        return Fail(start, "the number " + token.text + " runs into a word");
      }
    } else if (IsWordByte(c)) {
      token.kind = Token::Kind::Word;
      while (at_ < in_.size() && IsWordByte(in_[at_])) ++at_;
      token.text = std::string(in_.substr(start, at_ - start));
    } else if (c == '?') {
      token.kind = Token::Kind::Marker;
      token.text = "?";
      ++at_;
    } else {
      token.kind = Token::Kind::Symbol;
      std::string_view two = in_.substr(at_, 2);
      if (two == "<>" || two == "<=" || two == ">=" || two == "!=") {
        token.text = two == "!=" ? "<>" : std::string(two);
        at_ += 2;
      } else if (std::string_view("(),.!;*+-/\\^&=<>{}").find(c) != std::string_view::npos) {
        token.text = std::string(1, c);
        ++at_;
      } else {
        return Fail(start, std::string("the character '") + c + "' has no meaning here");
      }
    }
    tokens.push_back(std::move(token));
  }

  void Number() {
    while (IsDigit(Peek())) ++at_;
    if (Peek() == '.') {
      ++at_;
      while (IsDigit(Peek())) ++at_;
    }
    if ((Peek() == 'e' || Peek() == 'E') &&
        (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
      at_ += 2;
      while (IsDigit(Peek())) ++at_;
    }
  }

  std::string_view in_;
  std::size_t at_ = 0;
  std::string error_;
};

}  // namespace

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool Token::Is(Kind k, std::string_view t) const { return kind == k && text == t; }

bool Token::IsKeyword(std::string_view keyword) const { return kind == Kind::Word && SameWord(text, keyword); }

LexResult Lex(std::string_view text) { return Lexer(text).Run(); }

std::string Describe(const Token& token) {
  switch (token.kind) {
    case Token::Kind::End: return "the end of the statement";
    case Token::Kind::Text: return "'" + token.text + "'";
    case Token::Kind::Name: return "[" + token.text + "]";
    case Token::Kind::Date: return "#" + token.text + "#";
    default: return "\"" + token.text + "\"";
  }
}

}  // namespace mdbodbc::sql
