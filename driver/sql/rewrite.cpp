#include "rewrite.h"

#include "date_text.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace mdbodbc::sql {
namespace {

bool IsWordByte(char c) {
  auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
}

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

class Rewriter {
 public:
  explicit Rewriter(std::string_view text) : in_(text) {}

  Rewritten Run() {
    Rewritten result;
    for (std::size_t i = 0; i < in_.size(); ++i) {
      if (in_[i] == '\0') {
        result.error = "the statement text holds a NUL character at offset " + std::to_string(i);
        return result;
      }
    }
    while (at_ < in_.size() && error_.empty()) Step();
    if (error_.empty() && !braces_.empty()) error_ = "an escape clause { is not closed by }";
    if (error_.empty() && !limits_.empty()) {
      // The LIMIT of the outer SELECT goes before a final semicolon.
      std::size_t end = out_.find_last_not_of(" \t\r\n;");
      std::string tail = end == std::string::npos ? out_ : out_.substr(end + 1);
      out_.resize(end == std::string::npos ? 0 : end + 1);
      CloseLimits(0);
      out_ += tail;
    }
    if (!error_.empty()) {
      result.error = error_;
      return result;
    }
    result.ok = true;
    result.text = std::move(out_);
    return result;
  }

 private:
  enum class Brace { Plain, Escape };
  struct Limit {
    int depth;
    std::string count;
  };

  void Step() {
    char c = in_[at_];
    if (c == '\'') return CopyQuoted('\'');
    if (c == '"') return CopyQuoted('"');
    if (c == '`') return Bracketed('`');
    if (c == '[') return Bracketed(']');
    if (c == '#') return DateLiteral();
    if (c == '{') return OpenEscape();
    if (c == '}' && !braces_.empty()) {
      braces_.pop_back();
      ++at_;
      // Keeps two words apart that the clause's end alone separated.
      if (at_ < in_.size() && IsWordByte(in_[at_]) && !out_.empty() && IsWordByte(out_.back())) out_ += ' ';
      return;
    }
    if (c == '-' && Peek(1) == '-') return CopyUntil("\n", true);
    if (c == '/' && Peek(1) == '*') return CopyUntil("*/", false);
    if (c == '(') {
      ++depth_;
      out_ += c;
      ++at_;
      lastWord_.clear();
      return;
    }
    if (c == ')') {
      CloseLimits(depth_);
      if (depth_ > 0) --depth_;
      out_ += c;
      ++at_;
      lastWord_.clear();
      return;
    }
    if (IsWordByte(c)) return Word();
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') lastWord_.clear();
    out_ += c;
    ++at_;
  }

  char Peek(std::size_t ahead) const {
    return at_ + ahead < in_.size() ? in_[at_ + ahead] : '\0';
  }

  void SkipSpaces() {
    while (at_ < in_.size() && std::isspace(static_cast<unsigned char>(in_[at_]))) ++at_;
  }

  std::string_view ReadWord() {
    std::size_t start = at_;
    while (at_ < in_.size() && IsWordByte(in_[at_])) ++at_;
    return in_.substr(start, at_ - start);
  }

  // A quoted literal or name, with the quote doubled inside, copied as it is.
  void CopyQuoted(char quote) {
    std::size_t start = at_++;
    while (true) {
      if (at_ >= in_.size()) {
        error_ = std::string(quote == '\'' ? "a text literal" : "a quoted name") +
                 " starting at offset " + std::to_string(start) + " is not closed";
        return;
      }
      if (in_[at_] == quote) {
        if (Peek(1) == quote) {
          at_ += 2;
          continue;
        }
        ++at_;
        break;
      }
      ++at_;
    }
    out_.append(in_.substr(start, at_ - start));
    lastWord_.clear();
  }

  // [name] or `name` becomes "name": a doubled closing mark inside stands for one.
  void Bracketed(char close) {
    std::size_t start = at_++;
    std::string name;
    while (true) {
      if (at_ >= in_.size()) {
        error_ = "a bracketed name starting at offset " + std::to_string(start) + " is not closed";
        return;
      }
      char c = in_[at_];
      if (c == close) {
        if (Peek(1) == close) {
          name += close;
          at_ += 2;
          continue;
        }
        ++at_;
        break;
      }
      if (c == '"') name += '"';
      name += c;
      ++at_;
    }
    out_ += '"';
    out_ += name;
    out_ += '"';
    lastWord_ = "name";
  }

  void CopyUntil(std::string_view end, bool endIncluded) {
    std::size_t stop = in_.find(end, at_ + 2);
    std::size_t next = stop == std::string_view::npos ? in_.size() : stop + end.size();
    if (!endIncluded && stop == std::string_view::npos) {
      error_ = "a comment /* is not closed";
      return;
    }
    out_.append(in_.substr(at_, next - at_));
    at_ = next;
  }

  void DateLiteral() {
    std::size_t close = in_.find('#', at_ + 1);
    if (close == std::string_view::npos) {
      error_ = "a date literal # starting at offset " + std::to_string(at_) + " is not closed";
      return;
    }
    std::string_view inside = in_.substr(at_ + 1, close - at_ - 1);
    std::optional<DateTime> date = ParseAccessLiteral(inside);
    if (!date) {
      error_ = "#" + std::string(inside) + "# is not a valid date";
      return;
    }
    out_ += '\'' + IsoText(*date) + '\'';
    at_ = close + 1;
    lastWord_.clear();
  }

  // {d '...'}, {t '...'}, {ts '...'}: the literal itself, checked.
  void DateEscape(std::string_view kind) {
    SkipSpaces();
    if (at_ >= in_.size() || in_[at_] != '\'') {
      error_ = "the escape {" + std::string(kind) + " ...} needs a quoted literal";
      return;
    }
    std::size_t close = in_.find('\'', at_ + 1);
    if (close == std::string_view::npos) {
      error_ = "a text literal in {" + std::string(kind) + " ...} is not closed";
      return;
    }
    std::string_view literal = in_.substr(at_ + 1, close - at_ - 1);
    std::optional<DateTime> value = ParseIso(literal);
    bool fits = value.has_value();
    if (fits && kind == "d") fits = literal.find(':') == std::string_view::npos;
    if (fits && kind == "t") fits = literal.find('-') == std::string_view::npos;
    if (!fits) {
      error_ = "'" + std::string(literal) + "' is not a valid {" + std::string(kind) + "} value";
      return;
    }
    out_ += '\'';
    out_.append(literal);
    out_ += '\'';
    at_ = close + 1;
    SkipSpaces();
    if (at_ >= in_.size() || in_[at_] != '}') {
      error_ = "the escape {" + std::string(kind) + " ...} is not closed by }";
      return;
    }
    ++at_;
    lastWord_.clear();
  }

  void OpenEscape() {
    std::size_t start = at_++;
    SkipSpaces();
    std::string_view kind = ReadWord();
    if (SameWord(kind, "d") || SameWord(kind, "t") || SameWord(kind, "ts")) {
      std::string lower;
      for (char c : kind) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      return DateEscape(lower);
    }
    if (SameWord(kind, "fn") || SameWord(kind, "oj")) {
      braces_.push_back(Brace::Plain);
      SkipSpaces();
      return;
    }
    if (SameWord(kind, "escape")) {
      braces_.push_back(Brace::Escape);
      SkipSpaces();
      out_ += "ESCAPE ";
      return;
    }
    if (SameWord(kind, "call") || (kind.empty() && Peek(0) == '?')) {
      error_ = "procedure calls are not supported: the file holds no procedures";
      return;
    }
    error_ = "unknown escape clause at offset " + std::to_string(start) + ": {" +
             std::string(kind) + " ...}";
  }

  void Word() {
    std::string_view word = ReadWord();
    if (SameWord(word, "TOP") && (SameWord(lastWord_, "SELECT") || SameWord(lastWord_, "DISTINCT") ||
                                  SameWord(lastWord_, "ALL") || SameWord(lastWord_, "DISTINCTROW"))) {
      return Top(word);
    }
    if ((SameWord(word, "LEFT") || SameWord(word, "RIGHT")) && NextIsParenthesis()) {
      // The functions LEFT() and RIGHT(): the engine reads these words as joins unless quoted.
      out_ += SameWord(word, "LEFT") ? "\"left\"" : "\"right\"";
      lastWord_.clear();
      return;
    }
    if (SameWord(word, "DISTINCTROW") && SameWord(lastWord_, "SELECT")) {
      out_ += "DISTINCT";
      lastWord_ = "DISTINCTROW";
      return;
    }
    out_.append(word);
    lastWord_ = std::string(word);
  }

  bool NextIsParenthesis() const {
    std::size_t i = at_;
    while (i < in_.size() && std::isspace(static_cast<unsigned char>(in_[i]))) ++i;
    return i < in_.size() && in_[i] == '(';
  }

  // TOP n after SELECT [DISTINCT] becomes LIMIT n at the end of the same SELECT.
  void Top(std::string_view word) {
    std::size_t afterTop = at_;
    SkipSpaces();
    std::string_view count = ReadWord();
    unsigned long long n = 0;
    auto parsed = std::from_chars(count.data(), count.data() + count.size(), n);
    if (count.empty() || parsed.ec != std::errc() || parsed.ptr != count.data() + count.size()) {
      // Not a row count: TOP is a name here (a column called top).
      at_ = afterTop;
      out_.append(word);
      lastWord_ = std::string(word);
      return;
    }
    std::size_t afterCount = at_;
    SkipSpaces();
    std::string_view next = ReadWord();
    if (SameWord(next, "PERCENT")) {
      error_ = "TOP n PERCENT is not supported";
      return;
    }
    at_ = afterCount;
    SkipSpaces();
    limits_.push_back({depth_, std::string(count)});
    lastWord_ = "TOP";
  }

  void CloseLimits(int depth) {
    while (!limits_.empty() && limits_.back().depth == depth) {
      out_ += " LIMIT " + limits_.back().count;
      limits_.pop_back();
    }
  }

  std::string_view in_;
  std::size_t at_ = 0;
  std::string out_;
  std::string error_;
  std::string lastWord_;
  int depth_ = 0;
  std::vector<Brace> braces_;
  std::vector<Limit> limits_;
};

}  // namespace

Rewritten RewriteStatement(std::string_view text) { return Rewriter(text).Run(); }

}  // namespace mdbodbc::sql
