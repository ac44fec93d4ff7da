// The line format of FAKEODBC_SCRIPT and fakeodbc::loadScript: tokens, answers, directives.
#include "state.h"

#include <charconv>
#include <stdexcept>

#include "text.h"

namespace fakeodbc::detail {
namespace {

struct Token {
  std::u16string text;
  bool quoted = false;
};

class LineError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::vector<Token> tokenize(std::string_view line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (c == '#') {
      break;
    } else if (c == '"') {
      Token token{{}, true};
      std::string raw;  // UTF-8 run not yet converted
      for (++i;;) {
        if (i >= line.size()) throw LineError("unterminated quoted text");
        const char ch = line[i++];
        if (ch == '"') break;
        if (ch != '\\') {
          raw += ch;
          continue;
        }
        if (i >= line.size()) throw LineError("escape at the end of the line");
        const char escaped = line[i++];
        if (escaped == 'u') {
          const std::string_view digits = line.substr(i, 4);
          unsigned code = 0;
          const auto [stop, error] =
              std::from_chars(digits.data(), digits.data() + digits.size(), code, 16);
          if (digits.size() != 4 || error != std::errc{} || stop != digits.data() + 4) {
            throw LineError("\\u needs four hex digits");
          }
          i += 4;
          token.text += fromUtf8(raw) + static_cast<char16_t>(code);
          raw.clear();
          continue;
        }
        constexpr std::string_view escapes = "\"\\ntr", meanings = "\"\\\n\t\r";
        const std::size_t which = escapes.find(escaped);
        if (which == std::string_view::npos) {
          throw LineError(std::string("unknown escape \\") + escaped);
        }
        raw += meanings[which];
      }
      token.text += fromUtf8(raw);
      tokens.push_back(std::move(token));
    } else {
      const std::size_t start = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') ++i;
      tokens.push_back(Token{fromUtf8(line.substr(start, i - start)), false});
    }
  }
  return tokens;
}

class Reader {
 public:
  explicit Reader(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

  bool done() const { return next_ >= tokens_.size(); }

  const Token& take(const char* what) {
    if (done()) throw LineError(std::string("missing ") + what);
    return tokens_[next_++];
  }

  std::string word(const char* what) {
    const Token& token = take(what);
    if (token.quoted) throw LineError(std::string(what) + " must not be quoted");
    return toUtf8(token.text);
  }

  std::u16string text(const char* what) {
    const Token& token = take(what);
    if (!token.quoted) throw LineError(std::string(what) + " must be \"quoted text\"");
    return token.text;
  }

  long long number(const char* what) {
    const std::string token = word(what);
    if (auto named = valueOfName(token)) return *named;
    long long value = 0;
    const char* end = token.data() + token.size();
    const auto [stop, error] = std::from_chars(token.data(), end, value);
    if (error != std::errc{} || stop != end || token.empty()) {
      throw LineError(std::string(what) + ": not a number or known SQL_ name: " + token);
    }
    return value;
  }

  void finish() {
    if (!done()) throw LineError("unexpected " + toUtf8(tokens_[next_].text));
  }

 private:
  std::vector<Token> tokens_;
  std::size_t next_ = 0;
};

Answer readAnswer(Reader& reader) {
  Answer answer;
  bool defaultGiven = false;
  while (!reader.done()) {
    const std::string key = reader.word("answer item");
    if (key == "rc") {
      answer.rc = static_cast<SQLRETURN>(reader.number("rc"));
    } else if (key == "default") {
      defaultGiven = true;
    } else if (key == "still") {
      answer.stillExecuting = static_cast<int>(reader.number("still count"));
    } else if (key == "diag") {
      Diag diag;
      diag.state = reader.word("diag state");
      diag.native = static_cast<SQLINTEGER>(reader.number("diag native error"));
      diag.message = reader.text("diag message");
      answer.diags.push_back(std::move(diag));
    } else if (key == "text") {
      answer.text = reader.text("text");
    } else if (key == "number") {
      answer.number = reader.number("number");
    } else if (key == "length") {
      answer.length = static_cast<SQLLEN>(reader.number("length"));
    } else if (key == "rowstatus") {
      answer.rowStatus = static_cast<SQLUSMALLINT>(reader.number("rowstatus"));
    } else {
      throw LineError("unknown answer item " + key);
    }
  }
  // A still-executing answer without its own return code ends in the normal work.
  answer.runDefault = defaultGiven || (answer.stillExecuting > 0 && !answer.rc);
  return answer;
}

// The configuration a script changes, applied as a whole once every line has been read.
struct Draft : Config {
  explicit Draft(const State& from) : Config(from), ordinals(from.ordinals) {}
  std::map<Fn, std::size_t> ordinals;  // calls made so far, for "nth call from now"
};

void applyLine(Draft& state, ResultSet*& current, std::string_view line) {
  Reader reader(tokenize(line));
  if (reader.done()) return;
  const std::string directive = reader.word("directive");

  auto currentResult = [&]() -> ResultSet& {
    if (current == nullptr) {
      state.defaultResult = ResultSet{};
      current = &state.defaultResult;
    }
    return *current;
  };

  if (directive == "column") {
    ResultSet& result = currentResult();
    if (!result.rows.empty()) throw LineError("column after the first row");
    Column column;
    column.name = reader.take("column name").text;  // quoted or not
    column.sqlType = static_cast<SQLSMALLINT>(reader.number("SQL type"));
    column.size = static_cast<SQLULEN>(reader.number("column size"));
    if (!reader.done()) column.decimalDigits = static_cast<SQLSMALLINT>(reader.number("digits"));
    if (!reader.done()) column.nullable = static_cast<SQLSMALLINT>(reader.number("nullable"));
    reader.finish();
    result.columns.push_back(std::move(column));
  } else if (directive == "row") {
    ResultSet& result = currentResult();
    Row row;
    while (!reader.done()) {
      const Token& cell = reader.take("value");
      if (cell.quoted) {
        row.push_back(cell.text);
      } else if (cell.text == u"NULL") {
        row.push_back(std::nullopt);
      } else {
        throw LineError("a value is \"quoted text\" or NULL");
      }
    }
    if (row.size() != result.columns.size()) {
      throw LineError("row has " + std::to_string(row.size()) + " values for " +
                      std::to_string(result.columns.size()) + " columns");
    }
    result.rows.push_back(std::move(row));
  } else if (directive == "result") {
    const Token& which = reader.take("statement text or default");
    reader.finish();
    if (!which.quoted && which.text == u"default") {
      state.defaultResult = ResultSet{};
      current = &state.defaultResult;
    } else if (which.quoted) {
      current = &(state.resultsByText[which.text] = ResultSet{});
    } else {
      throw LineError("result takes \"statement text\" or default");
    }
  } else if (directive == "connect-out") {
    state.completedConnectString = reader.text("connection string");
    reader.finish();
  } else if (directive == "info") {
    const auto type = static_cast<SQLUSMALLINT>(reader.number("information type"));
    const std::string kind = reader.word("int16, int32, text or none");
    if (kind == "int16") {
      state.info[type] = InfoValue::int16(static_cast<std::uint16_t>(reader.number("value")));
    } else if (kind == "int32") {
      state.info[type] = InfoValue::int32(static_cast<std::uint32_t>(reader.number("value")));
    } else if (kind == "text") {
      state.info[type] = InfoValue::string(reader.text("value"));
    } else if (kind == "none") {
      state.info.erase(type);
    } else {
      throw LineError("info kind is int16, int32, text or none, not " + kind);
    }
    reader.finish();
  } else if (directive == "function") {
    const auto id = static_cast<SQLUSMALLINT>(reader.number("function id"));
    const std::string flag = reader.word("yes or no");
    if (flag == "yes") {
      state.supportedFunctions.insert(id);
    } else if (flag == "no") {
      state.supportedFunctions.erase(id);
    } else {
      throw LineError("function takes yes or no, not " + flag);
    }
    reader.finish();
  } else if (directive == "answer") {
    const std::string name = reader.word("function name");
    const std::optional<Fn> fn = functionByName(name);
    if (!fn) throw LineError("unknown function " + name);
    const long long nth = reader.number("call number");
    if (nth < 1) throw LineError("call numbers count from 1");
    Answer answer = readAnswer(reader);
    state.answersByOrdinal[*fn][state.ordinals[*fn] + static_cast<std::size_t>(nth)] =
        std::move(answer);
  } else if (directive == "answer-call") {
    const long long index = reader.number("call index");
    if (index < 1) throw LineError("call indexes count from 1");
    state.answersByIndex[static_cast<std::size_t>(index)] = readAnswer(reader);
  } else {
    throw LineError("unknown directive " + directive);
  }
}

}  // namespace

void applyScript(State& state, std::string_view scriptText) {
  Draft draft(state);  // a bad line leaves the state as it was
  ResultSet* current = nullptr;
  std::size_t lineNumber = 0;
  while (!scriptText.empty()) {
    const std::size_t end = scriptText.find('\n');
    const std::string_view line = scriptText.substr(0, end);
    scriptText = end == std::string_view::npos ? std::string_view{} : scriptText.substr(end + 1);
    ++lineNumber;
    try {
      applyLine(draft, current, line);
    } catch (const LineError& error) {
      throw std::invalid_argument("fakeodbc script line " + std::to_string(lineNumber) + ": " +
                                  error.what());
    }
  }
  static_cast<Config&>(state) = std::move(draft);
}

}  // namespace fakeodbc::detail
