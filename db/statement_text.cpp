// Statement text composition: from the caller's text to the exact text that is prepared or
// executed, and whether that text still allows the rows to be changed.
#include <string>
#include <string_view>

#include "db/recordset.h"
#include "framework/exception.h"
#include "framework/trace.h"

namespace {

// Keyword literals, upper case with their blanks.
constexpr char16_t kCallPrefix[] = u"{CALL ";
constexpr char16_t kCallWithResultPrefix[] = u"{?";
constexpr char16_t kSelectPrefix[] = u"SELECT ";
constexpr char16_t kComma[] = u",";
constexpr char16_t kFrom[] = u" FROM ";
constexpr char16_t kWhere[] = u" WHERE ";
constexpr char16_t kOrderBy[] = u" ORDER BY ";
constexpr char16_t kGroupBy[] = u" GROUP BY ";
constexpr char16_t kUnion[] = u" UNION ";
constexpr char16_t kJoin[] = u" JOIN ";
constexpr char16_t kForUpdate[] = u" FOR UPDATE ";

// A prefix literal is compared over all but its last character: "{CALL", "{" and "SELECT".
template <size_t N>
bool StartsWithPrefix(const CString& text, const char16_t (&literal)[N]) {
  return text.StartsWithNoCase(std::u16string_view(literal, N - 2));
}

bool IsCallOrSelect(const CString& text) {
  return StartsWithPrefix(text, kCallPrefix) || StartsWithPrefix(text, kCallWithResultPrefix) ||
         StartsWithPrefix(text, kSelectPrefix);
}

// Keywords are basic Latin, so letter case folds over a-z alone, the same in every locale: a
// locale's own mapping could turn a keyword's letter into another (in a Turkish locale 'i'
// becomes a dotted capital I, and " join " would no longer match).
char16_t UpperBasicLatin(char16_t c) {
  return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// The upper-case copy FindKeyword searches: one unit for one unit, so that an index in the
// copy is the same index in the caller's text.
std::u16string UpperCaseCopy(std::u16string_view text) {
  std::u16string copy;
  try {
    copy.resize(text.size());
  } catch (const std::bad_alloc&) {
    ThrowMemoryException();
  }
  for (size_t i = 0; i < text.size(); ++i) {
    copy[i] = UpperBasicLatin(text[i]);
  }
  return copy;
}

// Walks a text from its start and tells, at any point reached, whether that point lies inside
// a single-quoted literal or a bracketed name. '' is an escaped quote inside and outside a
// literal; [[ and ]] outside a literal are escaped brackets. The walk only moves forward, so a
// later point is reached by continuing from an earlier one.
class QuoteScanner {
 public:
  explicit QuoteScanner(std::u16string_view text) : m_text(text) {}

  // Steps over every character before `end`. An escape pair that starts just before `end`
  // is stepped over whole, as it would be by a walk that goes further.
  void AdvanceTo(size_t end) {
    while (m_pos < end) {
      const char16_t c = m_text[m_pos];
      const char16_t next = m_pos + 1 < m_text.size() ? m_text[m_pos + 1] : u'\0';
      if (c == u'\'') {
        if (next == u'\'') {
          ++m_pos;
        } else {
          m_inLiteral = !m_inLiteral;
        }
      } else if (c == u'[' && !m_inLiteral) {
        if (next == u'[') {
          ++m_pos;
        } else {
          ++m_opened;
          m_inBrackets = m_opened - m_closed > 0;
        }
      } else if (c == u']' && !m_inLiteral) {
        if (next == u']') {
          ++m_pos;
        } else {
          ++m_closed;
          m_inBrackets = m_opened - m_closed > 0;
        }
      }
      ++m_pos;
    }
  }

  bool Quoted() const { return m_inLiteral || m_inBrackets; }

 private:
  std::u16string_view m_text;
  size_t m_pos = 0;
  bool m_inLiteral = false;
  bool m_inBrackets = false;
  long long m_opened = 0;
  long long m_closed = 0;
};

// The index of the first occurrence of `keyword` in `upper` at or after `start` that lies
// outside literals and bracketed names, or npos. A match inside them is skipped whole: the
// next search starts just past it.
size_t FindUnquoted(std::u16string_view upper, std::u16string_view keyword, size_t start = 0) {
  QuoteScanner scanner(upper);
  size_t from = start;
  for (;;) {
    const size_t match = upper.find(keyword, from);
    if (match == std::u16string_view::npos) return match;
    scanner.AdvanceTo(match);
    if (!scanner.Quoted()) return match;
    from = match + (keyword.empty() ? 1 : keyword.size());
  }
}

}  // namespace

const char16_t* FindKeyword(const char16_t* text, const char16_t* keyword) {
  if (text == nullptr || keyword == nullptr) ThrowInvalidArgException();
  const std::u16string upper = UpperCaseCopy(std::u16string_view(text, TextLength(text)));
  const size_t match =
      FindUnquoted(upper, std::u16string_view(keyword, TextLength(keyword)));
  return match == std::u16string_view::npos ? nullptr : text + match;
}

BOOL HasJoin(const char16_t* fromClause) {
  return FindKeyword(fromClause, kComma) != nullptr || FindKeyword(fromClause, kJoin) != nullptr
             ? TRUE
             : FALSE;
}

void CRecordset::ComposeStatement(const char16_t* statementText) {
  if (statementText != nullptr) {
    m_strSQL = statementText;
  } else {
    m_strSQL = DefaultStatementText();
  }

  if (m_nParams != 0) BindParameters(m_hstmt);

  ExpandToSelect();
  AppendWhereAndOrderBy();

  if ((m_bUpdatable || m_bAppendable) && !CanModifyRows()) {
    m_bUpdatable = FALSE;
    m_bAppendable = FALSE;
  }

  if (m_pDatabase == nullptr) ThrowInvalidArgException();

  if (m_bUpdatable && m_bPositionedUpdates && m_pDatabase->m_bForUpdateClause) {
    m_strSQL += kForUpdate;
  }

  // The quoting never makes the text longer; it may end it early at a null character.
  m_pDatabase->QuoteBracketedNames(m_strSQL.GetBuffer(0));
  m_strSQL.ReleaseBuffer(-1);
}

void CRecordset::ExpandToSelect() {
  if (IsCallOrSelect(m_strSQL)) return;

  // The whole text names a table: select the bound fields' columns from it.
  const CString table = m_strSQL;
  m_strSQL = kSelectPrefix;
  MarkFieldsChanged();
  if (AppendFieldNames(&m_strSQL, kComma) == 0) {
    TraceDatabase("Error: no field names - at least 1 required.\n");
    RaiseError(dbErrorNoFieldNames);
  }

  // The separator after the last name becomes a blank.
  const int last = m_strSQL.GetLength() - 1;
  if (m_strSQL.GetAt(last) == kComma[0]) m_strSQL.GetBuffer(0)[last] = u' ';
  m_strSQL += kFrom;
  m_strSQL += table;
}

void CRecordset::AppendWhereAndOrderBy() {
  if (!m_strWhereClause.IsEmpty()) {
    m_strSQL += kWhere;
    m_strSQL += m_strWhereClause;
  }
  if (!m_strOrderByClause.IsEmpty()) {
    m_strSQL += kOrderBy;
    m_strSQL += m_strOrderByClause;
  }
}

BOOL CRecordset::CanModifyRows() {
  if (!IsModifiableStatement(m_strSQL)) return FALSE;

  if (m_bHasLongBinary && !m_bPositionedUpdates) {
    if (m_pDatabase == nullptr) ThrowInvalidArgException();
    const DWORD capabilities = m_pDatabase->m_dwUpdateCapabilities;
    if (!(capabilities & CDatabase::kCanGetDataBound)) {
      if (capabilities & CDatabase::kCanPositionedSql) {
        m_bPositionedUpdates = TRUE;
        TraceDatabase("Warning: Can't use SQLSetPos due to lack of SQLGetData support.\n");
        TraceDatabase("\tWill use positioned update SQL.\n");
      } else {
        TraceDatabase("Warning: Setting recordset read only due to lack of SQLGetData support.\n");
        return FALSE;
      }
    }
  }
  return TRUE;
}

BOOL CRecordset::IsModifiableStatement(const char16_t* text) {
  if (text == nullptr) ThrowInvalidArgException();
  const CString statement(text);
  if (StartsWithPrefix(statement, kCallPrefix) ||
      StartsWithPrefix(statement, kCallWithResultPrefix)) {
    return FALSE;
  }
  return IsModifiableSelect(text);
}

BOOL CRecordset::IsModifiableSelect(const char16_t* text) {
  if (text == nullptr) ThrowInvalidArgException();
  const std::u16string_view s(text, TextLength(text));
  const std::u16string upper = UpperCaseCopy(s);
  constexpr size_t npos = std::u16string_view::npos;

  const size_t from = FindUnquoted(upper, kFrom);
  if (from == npos) {
    TraceDatabase("Warning: Missing ' FROM ', recordset not updatable \n");
    return FALSE;
  }
  if (FindUnquoted(upper, kGroupBy) != npos) {
    TraceDatabase("Warning: SQL contains ' GROUP BY ', recordset not updatable \n");
    return FALSE;
  }
  if (FindUnquoted(upper, kUnion) != npos) {
    TraceDatabase("Warning: SQL contains ' UNION ', recordset not updatable \n");
    return FALSE;
  }

  // The FROM clause ends at the earlier of " WHERE " and " ORDER BY ". One that stands before
  // the FROM (possible only in malformed text) cannot end it: then the first one after it
  // counts.
  size_t where = FindUnquoted(upper, kWhere);
  size_t order = FindUnquoted(upper, kOrderBy);
  if (where != npos && where < from) where = FindUnquoted(upper, kWhere, from);
  if (order != npos && order < from) order = FindUnquoted(upper, kOrderBy, from);
  const size_t next = where < order ? where : order;
  const std::u16string_view clause = s.substr(from, next == npos ? npos : next - from);

  if (HasJoin(CString(clause))) {
    TraceDatabase("Warning: SQL contains join, recordset not updatable \n");
    return FALSE;
  }

  // A WHERE that shares the blank after FROM leaves a clause shorter than " FROM ".
  const size_t fromLength = std::char_traits<char16_t>::length(kFrom);
  m_strFromTable = clause.size() > fromLength ? clause.substr(fromLength) : std::u16string_view();
  return TRUE;
}

// The field exchange passes that composition runs. Parameters are counted, not bound.
DWORD CRecordset::BindParameters(HSTMT /*hstmt*/) {
  CFieldExchange fx(CFieldExchange::BindParam, this);
  ExchangeFields(&fx);
  return fx.m_nParams;
}

void CRecordset::MarkFieldsChanged() {
  CFieldExchange fx(CFieldExchange::MarkChanged, this);
  ExchangeFields(&fx);
}

DWORD CRecordset::AppendFieldNames(CString* text, const char16_t* separator) {
  if (text == nullptr) ThrowInvalidArgException();
  CFieldExchange fx(CFieldExchange::Name, this);
  fx.m_pstr = text;
  fx.m_lpszSeparator = separator;
  if (m_dwOpenOptions & multiRowFetch) {
    ExchangeFieldsInBulk(&fx);
  } else {
    ExchangeFields(&fx);
  }
  return fx.m_nFields;
}
