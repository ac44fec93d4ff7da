// Putting a database file together. Pages are numbered in the order they are needed:
//
//   0  file header                     3  data page holding the usage-map rows (more at the end)
//   1  global page map                 4  data page holding the catalog rows (more at the end)
//   2  definition of MSysObjects       5… each table: its definition page, then its data and
//                                         memo pages as rows arrive
//
// Everything that depends on the whole content (catalog rows, maps, definitions with their row
// counts, the header) is written after the last row.
#include "mdb_writer.h"

#include <ctime>

#include "catalog.h"
#include "data_page.h"
#include "file_header.h"
#include "names.h"
#include "page_file.h"
#include "row_placement.h"
#include "table_definition.h"
#include "table_writer.h"
#include "usage_map.h"
#include "value_parser.h"

namespace mkmdb {
namespace {

constexpr std::uint32_t kGlobalMapPage = 1;
constexpr std::uint32_t kMapRowsPage = 3;
constexpr std::uint32_t kCatalogRowsPage = 4;

class VectorRows : public RowSource {
 public:
  explicit VectorRows(const TableSpec& table) : table_(table) {}
  bool Next(std::vector<Value>& row) override {
    if (next_ >= table_.rows.size()) return false;
    row = table_.rows[next_++];
    return true;
  }
  std::string Where() const override {
    return "table " + table_.name + " row " + std::to_string(next_);
  }

 private:
  const TableSpec& table_;
  std::size_t next_ = 0;
};

// The current local time as a day number counted from 1899-12-30.
double LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const double days = DaysSinceEpoch({local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                      static_cast<unsigned>(local.tm_mday)});
  return days + (local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec) / 86400.0;
}

struct WrittenTable {
  TableLayout layout;
  std::uint32_t definition_page;
  std::uint32_t rows;
  std::vector<std::uint32_t> data_pages;
  std::vector<std::vector<std::uint32_t>> memo_pages;
};

// The map rows of one table, in the order the definition names them: usage map, free-space
// map, then the pair of each memo/OLE column.
void AppendMapRows(PageFile& file, const std::vector<std::uint32_t>& pages,
                   const std::vector<std::vector<std::uint32_t>>& long_value_pages,
                   std::vector<std::vector<std::uint8_t>>& rows) {
  // The free-space map names the last page, the only one that may still have room.
  auto last = [](const std::vector<std::uint32_t>& list) {
    return list.empty() ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{list.back()};
  };
  rows.push_back(BuildUsageMap(pages, file));
  rows.push_back(BuildUsageMap(last(pages), file));
  for (const auto& lval : long_value_pages) {
    rows.push_back(BuildUsageMap(lval, file));
    rows.push_back(BuildUsageMap(last(lval), file));
  }
}

TableMaps MapsAt(const std::vector<std::uint32_t>& pointers, std::size_t& next,
                 std::size_t long_values) {
  TableMaps maps;
  maps.usage = pointers[next++];
  maps.free = pointers[next++];
  for (std::size_t i = 0; i < long_values; ++i) {
    const std::uint32_t usage = pointers[next++];
    maps.long_values.emplace_back(usage, pointers[next++]);
  }
  return maps;
}

void WriteAll(PageFile& file, const std::vector<TableSource>& tables) {
  for (std::uint32_t page = 0; page <= kCatalogRowsPage; ++page) file.Allocate();

  std::vector<WrittenTable> written;
  std::vector<Value> row;
  for (const TableSource& table : tables) {
    const std::uint32_t definition_page = file.Allocate();
    TableWriter writer(file, table.columns, definition_page);
    if (table.rows != nullptr) {
      while (table.rows->Next(row)) {
        try {
          writer.AddRow(row);
        } catch (const ValueError& e) {
          throw WriterError(table.rows->Where() + ": " + e.what());
        }
      }
    }
    writer.Finish();
    TableLayout layout = writer.layout();
    layout.name = table.name;
    written.push_back({std::move(layout), definition_page, writer.row_count(),
                       writer.data_pages(), writer.memo_pages()});
  }

  // Catalog rows.
  std::vector<CatalogTable> entries;
  for (const WrittenTable& table : written) {
    entries.push_back({table.layout.name, table.definition_page});
  }
  const std::vector<std::vector<std::uint8_t>> catalog_rows = BuildCatalogRows(entries, LocalNow());
  const PlacedRows catalog =
      PlaceRows(file, kCatalogRowsPage, kCatalogDefinitionPage, catalog_rows);

  // Usage maps of the catalog and of every table, all on the map pages.
  const TableLayout catalog_layout = CatalogLayout();
  std::vector<std::vector<std::uint8_t>> map_rows;
  AppendMapRows(file, catalog.pages,
                std::vector<std::vector<std::uint32_t>>(catalog_layout.long_value_count),
                map_rows);
  for (const WrittenTable& table : written) {
    AppendMapRows(file, table.data_pages, table.memo_pages, map_rows);
  }
  const PlacedRows maps = PlaceRows(file, kMapRowsPage, 0, map_rows);

  // Definitions.
  std::size_t next_map = 0;
  TableMaps catalog_maps = MapsAt(maps.pointers, next_map, catalog_layout.long_value_count);
  WriteTableDefinition(file, kCatalogDefinitionPage,
                       BuildTableDefinition(catalog_layout,
                                            static_cast<std::uint32_t>(catalog_rows.size()),
                                            catalog_maps));
  for (const WrittenTable& table : written) {
    TableMaps table_maps = MapsAt(maps.pointers, next_map, table.layout.long_value_count);
    WriteTableDefinition(file, table.definition_page,
                         BuildTableDefinition(table.layout, table.rows, table_maps));
  }

  // The global page map: a page owned by page 1 holding one empty map row.
  DataPage global(kGlobalMapPage);
  const std::vector<std::uint8_t> empty_map(kUsageMapRowSize, 0);
  global.Add(empty_map);
  file.Write(kGlobalMapPage, global.Finish());

  file.Write(0, BuildFileHeader());
}

}  // namespace

void WriteDatabaseFromSources(const std::string& path, const std::vector<TableSource>& tables) {
  CheckTables(tables);
  PageFile file(path);
  WriteAll(file, tables);
  file.Commit();
}

void WriteDatabase(const std::string& path, const std::vector<TableSpec>& tables) {
  std::vector<VectorRows> sources;
  sources.reserve(tables.size());
  std::vector<TableSource> streamed;
  for (const TableSpec& table : tables) {
    sources.emplace_back(table);
    streamed.push_back({table.name, table.columns, &sources.back()});
  }
  WriteDatabaseFromSources(path, streamed);
}

}  // namespace mkmdb
