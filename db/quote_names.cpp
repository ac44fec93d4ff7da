#include "db/database.h"

// One pass with a read and a write position: a lone bracket outside a single-quoted literal
// becomes the identifier quote, a doubled bracket outside literals becomes one bracket, and
// everything inside literals (a doubled quote included) is copied as it stands. The text never
// grows.
void CDatabase::QuoteBracketedNames(char16_t* text) {
  if (text == nullptr) return;
  const char16_t* read = text;
  char16_t* write = text;
  bool inLiteral = false;
  while (*read != u'\0') {
    const char16_t c = *read;
    if (c == u'\'') {
      if (read[1] == u'\'') {
        *write++ = c;
        ++read;
      } else {
        inLiteral = !inLiteral;
      }
      *write = *read;
    } else if (c == u'[' && !inLiteral) {
      if (read[1] == u'[') {
        *write = u'[';
        ++read;
      } else {
        *write = m_chIdentifierQuote;
      }
    } else if (c == u']' && !inLiteral) {
      if (read[1] == u']') {
        *write = u']';
        ++read;
      } else {
        *write = m_chIdentifierQuote;
      }
    } else {
      *write = c;
    }
    ++read;
    ++write;
  }
  *write = u'\0';
}
