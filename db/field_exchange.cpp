// The field exchange of one text field: what each pass of the recordset does with it.
#include "db/field_exchange.h"

#include "db/recordset.h"
#include "framework/exception.h"

namespace {

// Status byte of a field whose value was changed since the last fetch.
constexpr BYTE kFieldChanged = 0x01;

}  // namespace

void ExchangeField(CFieldExchange* pFX, const char16_t* columnName, CString& /*value*/) {
  if (pFX == nullptr || columnName == nullptr) ThrowInvalidArgException();

  switch (pFX->m_nOperation) {
    case CFieldExchange::Name:
      if (pFX->m_pstr == nullptr) ThrowInvalidArgException();
      *pFX->m_pstr += columnName;
      if (pFX->m_lpszSeparator != nullptr) *pFX->m_pstr += pFX->m_lpszSeparator;
      ++pFX->m_nFields;
      break;
    case CFieldExchange::BindFieldToColumn:
      // The layer binds no column buffer: values are read by column index.
      ++pFX->m_nFields;
      break;
    case CFieldExchange::MarkChanged: {
      // The status bytes exist once the open has allocated them, one per declared field.
      CRecordset* recordset = pFX->m_prs;
      const UINT field = pFX->m_nFields;
      if (recordset != nullptr && recordset->m_pFieldState != nullptr &&
          field < recordset->m_nFields) {
        recordset->m_pFieldState[field] |= kFieldChanged;
      }
      ++pFX->m_nFields;
      break;
    }
    case CFieldExchange::BindParam:
      // Counted only: the layer binds no parameter buffer.
      ++pFX->m_nParams;
      break;
    case CFieldExchange::Fixup:
    case CFieldExchange::FreeBuffers:
      break;
  }
}
