#include "tests/db/support/field_reading.h"

fakeodbc::Column NotesColumn(SQLULEN size, SQLSMALLINT sqlType) {
  return fakeodbc::Column{u"notes", sqlType, size};
}

fakeodbc::ResultSet SingleColumnResult(fakeodbc::Column column,
                                       const std::vector<fakeodbc::Cell>& cells) {
  fakeodbc::ResultSet result;
  result.columns = {std::move(column)};
  for (const fakeodbc::Cell& cell : cells) result.rows.push_back({cell});
  return result;
}

std::u16string Letters(std::size_t length) {
  std::u16string text(length, u'A');
  for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char16_t>(u'A' + i % 26);
  return text;
}

std::string GetDataLine(int column, long bufferBytes, const char* rc) {
  return "SQLGetData(stmt#1, " + std::to_string(column) + ", SQL_C_WCHAR, " +
         std::to_string(bufferBytes) + ") -> " + rc;
}

int CountCalls(const std::string& name) {
  int count = 0;
  for (const std::string& called : fakeodbc::callNames()) count += called == name ? 1 : 0;
  return count;
}

std::vector<std::string> GetDataCalls() {
  std::vector<std::string> reads = fakeodbc::callLines();
  std::erase_if(reads, [](const std::string& line) { return line.rfind("SQLGetData", 0) != 0; });
  return reads;
}

std::vector<std::string> OneRecordRead(const std::string& statement) {
  return {"SQLErrorW(env#1, dbc#1, " + statement + ", 511) -> SQL_SUCCESS",
          "SQLErrorW(env#1, dbc#1, " + statement + ", 511) -> SQL_NO_DATA"};
}

CString ReadFirst(CRecordset& rs) {
  CString value;
  rs.GetFieldValue(0, value);
  return value;
}

Raised ReadFirstCatching(CRecordset& rs) {
  CString value;
  return RunCatching([&] { rs.GetFieldValue(0, value); });
}
