#include "sample_files.h"

#include "tests/support/temp_folder.h"

namespace jettest {

std::string MemoText(std::size_t characters, bool wide) {
  static const char* const kAscii[] = {"a", "b", "c", " ", "1", "z"};
  static const char* const kWide[] = {"é", "Ж", "一", "a", "😀", "ß"};
  std::string text;
  for (std::size_t i = 0; i < characters; ++i) text += (wide ? kWide : kAscii)[i % 6];
  return text;
}

mkmdb::TableSpec EveryTypeTable() {
  using mkmdb::ColumnType;
  mkmdb::TableSpec table{"every_type",
                         {{"text", ColumnType::Text, 50}, {"memo", ColumnType::Memo},
                          {"long", ColumnType::Long}, {"double", ColumnType::Double},
                          {"date", ColumnType::DateTime}, {"yesno", ColumnType::YesNo},
                          {"byte", ColumnType::Byte}, {"integer", ColumnType::Integer},
                          {"single", ColumnType::Single}, {"currency", ColumnType::Currency},
                          {"decimal", ColumnType::Decimal, 0, 28, 6}, {"guid", ColumnType::Guid},
                          {"binary", ColumnType::Binary, 16}, {"ole", ColumnType::Ole},
                          {"counter", ColumnType::AutoNumber}, {"link", ColumnType::Hyperlink}},
                         {}};
  table.rows = {
      {"Airbus", "short memo", "1", "3.25", "2000-01-02 03:04:05", "1", "7", "-300", "0.5",
       "12.3456", "-123.456", "{01234567-89AB-CDEF-0123-456789ABCDEF}", "00ff10", "deadbeef",
       std::nullopt, "Airbus#https://www.airbus.com#"},
      {"", "", "0", "0", "1899-12-30", "0", "0", "0", "0", "0", "0",
       "{00000000-0000-0000-0000-000000000000}", "", "", "5", ""},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, "yes", std::nullopt,
       std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
       std::nullopt, std::nullopt, std::nullopt},
      {"Aérospatiale", "Ünïcödé mémo", "-2147483648", "-1e-300", "0100-01-01", "false", "255",
       "-32768", "-3.4028235e38", "-922337203685477.5808", "-9999999999999999999999.999999",
       "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", "000102030405060708090a0b0c0d0e0f",
       std::string(600, 'a'), "2147483646", "#mailto:a@b.c#sujet"},
      {"Антонов 一 😀", MemoText(300, true), "2147483647", "1.7976931348623157e308",
       "9999-12-31 23:59:59.999", "true", "128", "32767", "1.4e-45", "922337203685477.5807",
       "9999999999999999999999.999999", "{4B1D2A3C-0000-1111-2222-333344445555}", "ff",
       "00", std::nullopt, "Антонов#https://example.org/антонов#"},
  };
  return table;
}

mkmdb::TableSpec MemoTable() {
  mkmdb::TableSpec table{"memos",
                         {{"id", mkmdb::ColumnType::Long}, {"notes", mkmdb::ColumnType::Memo}},
                         {}};
  int id = 0;
  for (const std::size_t size : {0u, 10u, 200u, 1500u, 3000u, 9000u}) {
    for (bool wide : {false, true}) {
      table.rows.push_back({std::to_string(++id), MemoText(size, wide)});
    }
  }
  table.rows.push_back({std::to_string(++id), std::nullopt});
  return table;
}

mkmdb::TableSpec IndexedTable() {
  mkmdb::TableSpec table{"indexed",
                         {{"n", mkmdb::ColumnType::Long}, {"name", mkmdb::ColumnType::Text, 30},
                          {"day", mkmdb::ColumnType::DateTime}},
                         {}};
  for (int i = 0; i < 1000; ++i) {
    table.rows.push_back({std::to_string(i * 7 % 1000), "name " + std::to_string(i % 97),
                          i % 13 == 0 ? mkmdb::Value() : mkmdb::Value("2000-01-01")});
  }
  table.indexes = {{"PrimaryKey", {{"n"}}, true, true}, {"by_name", {{"name", true}, {"day"}}}};
  return table;
}

std::vector<mkmdb::TableSpec> RelatedTables() {
  using mkmdb::ColumnType;
  mkmdb::TableSpec maker{"maker",
                         {{"country", ColumnType::Text, 2}, {"number", ColumnType::Long},
                          {"name", ColumnType::Text, 50}},
                         {{"FR", "1", "Aérospatiale"}, {"US", "1", "Boeing"}},
                         "Makers of planes, by country"};
  maker.columns[0].description = "ISO code of the country";
  maker.columns[0].required = true;
  maker.columns[1].required = true;
  maker.columns[2].description = "Название, 名前";
  maker.columns[2].default_value = "\"(unknown)\"";
  mkmdb::TableSpec plane{"plane",
                         {{"id", ColumnType::AutoNumber}, {"country", ColumnType::Text, 2},
                          {"maker", ColumnType::Long}, {"built", ColumnType::DateTime},
                          {"seats", ColumnType::Integer}, {"model", ColumnType::Text, 30}},
                         {{"1", "FR", "1", "1969-03-02", "100", "Concorde"},
                          {"2", "US", "1", "1969-02-09", "366", "747"}}};
  plane.columns[3].default_value = "Date()";
  plane.columns[4].default_value = "0";
  plane.columns[4].description = std::string(255, 's');
  plane.columns[5].required = true;
  return {maker, plane};
}

mkmdb::CatalogSpec RelatedCatalog() {
  mkmdb::CatalogSpec catalog;
  catalog.relationships.push_back({"makerplane", "plane", {"country", "maker"}, "maker",
                                   {"country", "number"}, true, true, true});
  catalog.relationships.push_back({"modelmodel", "plane", {"model"}, "plane", {"model"},
                                   false, false, false});
  catalog.links.push_back({"far", "C:\\data\\other.mdb", "planes"});
  catalog.links.push_back({"remote", "", "dbo.planes", "ODBC;DSN=hangar;PWD=secret;"});
  return catalog;
}

std::string DatabaseBytes(const std::vector<mkmdb::TableSpec>& tables,
                          const mkmdb::CatalogSpec& catalog, const mkmdb::Protection& protection) {
  const testsupport::TempFolder folder("jet-sample");
  mkmdb::WriteDatabase(folder.Path("sample.mdb"), tables, catalog, protection);
  return testsupport::ReadFile(folder.Path("sample.mdb"));
}

}  // namespace jettest
