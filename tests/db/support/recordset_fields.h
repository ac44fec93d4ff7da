// A recordset that binds named text fields through the field exchange, for tests of the
// passes that list, count and mark bound fields.
#pragma once

#include <string>
#include <vector>

#include "db/field_exchange.h"
#include "db/recordset.h"

class FieldRecordset : public CRecordset {
 public:
  // Declares one text field per column name; m_nFields follows the count.
  FieldRecordset(CDatabase* database, std::vector<std::u16string> columns);
  ~FieldRecordset() override;

  void ExchangeFields(CFieldExchange* pFX) override;
  void ExchangeFieldsInBulk(CFieldExchange* pFX) override;

  // When set, the multi-row exchange lists the fields too instead of refusing.
  bool m_bBulkExchange = false;
  // The mode of every exchange pass run on this recordset, in order, and whether it came
  // through the multi-row exchange.
  std::vector<CFieldExchange::Mode> m_modes;
  std::vector<bool> m_bulkPasses;

  std::vector<std::u16string> m_columns;
  std::vector<CString> m_values;
};

// A recordset whose default statement text is given.
class DefaultTextRecordset : public CRecordset {
 public:
  DefaultTextRecordset(CDatabase* database, std::u16string text)
      : CRecordset(database), m_text(std::move(text)) {}
  CString DefaultStatementText() override { return CString(m_text); }

 private:
  std::u16string m_text;
};
