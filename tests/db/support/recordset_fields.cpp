#include "tests/db/support/recordset_fields.h"

FieldRecordset::FieldRecordset(CDatabase* database, std::vector<std::u16string> columns)
    : CRecordset(database), m_columns(std::move(columns)), m_values(m_columns.size()) {
  m_nFields = static_cast<DWORD>(m_columns.size());
}

FieldRecordset::~FieldRecordset() = default;

void FieldRecordset::ExchangeFields(CFieldExchange* pFX) {
  m_modes.push_back(pFX->m_nOperation);
  m_bulkPasses.push_back(false);
  for (size_t i = 0; i < m_columns.size(); ++i) {
    ExchangeField(pFX, m_columns[i].c_str(), m_values[i]);
  }
}

void FieldRecordset::ExchangeFieldsInBulk(CFieldExchange* pFX) {
  if (!m_bBulkExchange) return CRecordset::ExchangeFieldsInBulk(pFX);
  ExchangeFields(pFX);
  m_bulkPasses.back() = true;
}
