// Field exchange: how a recordset subclass declares the fields it binds.
//
// A subclass overrides CRecordset::ExchangeFields and calls ExchangeField once per bound field,
// in column order. The recordset runs that function in one of the modes below; each mode does
// its share of the work for every field it is called with.
#pragma once

#include "framework/cstring.h"
#include "framework/types.h"

class CRecordset;

class CFieldExchange {
 public:
  enum Mode : UINT {
    BindParam,          // count the parameters to bind
    BindFieldToColumn,  // count the fields bound to result columns
    Fixup,              // after a fetch: give the bound fields their state
    MarkChanged,        // mark every field changed
    Name,               // append each field's column name and the separator to a text
    FreeBuffers,        // release multi-row buffers
  };

  CFieldExchange(Mode mode, CRecordset* recordset) : m_nOperation(mode), m_prs(recordset) {}

  Mode m_nOperation;
  CRecordset* m_prs;
  UINT m_nFields = 0;                      // fields handled so far in this pass
  UINT m_nParams = 0;                      // parameters handled so far in this pass
  CString* m_pstr = nullptr;               // Name: the text names are appended to
  const char16_t* m_lpszSeparator = nullptr;  // Name: appended after each name
};

// Exchanges one text field bound to the column `columnName`.
void ExchangeField(CFieldExchange* pFX, const char16_t* columnName, CString& value);
