// Putting a database file together. Pages are numbered as in a new file made by Access:
//
//   0        file header
//   1        global page map
//   2 to 5   definitions of MSysObjects, MSysACEs, MSysQueries and MSysRelationships
//   6 to 16  for each of them in turn, its map page and the root pages of its indexes:
//            6 with 7 and 8, 9 with 10, 11 with 12, 13 with 14, 15 and 16
//   17, 18   the rows of MSysObjects and of MSysACEs
//   19…      each user table: its definition, its map page, then its data and memo pages as
//            rows arrive, then the pages of its indexes
//
// Everything that depends on the whole content (catalog and access rows, indexes, maps,
// definitions with their row counts, the global map, the header) is written after the last row;
// rows, index pages and maps that outgrow their page continue on pages at the end.
#include "mdb_writer.h"

#include <cassert>
#include <ctime>
#include <iterator>
#include <set>

#include "access_control.h"
#include "catalog.h"
#include "data_page.h"
#include "file_header.h"
#include "header_protection.h"
#include "index_pages.h"
#include "jet/jet_encoding.h"
#include "names.h"
#include "office_encryption_writer.h"
#include "page_file.h"
#include "property_blob.h"
#include "relationships.h"
#include "row_placement.h"
#include "system_tables.h"
#include "table_definition.h"
#include "table_writer.h"
#include "usage_map.h"
#include "value_parser.h"

namespace mkmdb {
namespace {

// The pages of the system part, in the order above.
struct SystemPages {
  std::uint32_t maps;
  std::vector<std::uint32_t> index_roots;
};
constexpr std::uint32_t kCatalogRowsPage = 17;
constexpr std::uint32_t kAccessRowsPage = 18;
constexpr std::uint32_t kFirstUserPage = 19;

// Reserves pages 1 to 18 and says where each system table's maps and index roots are.
std::vector<SystemPages> ReserveSystemPages(PageFile& file) {
  while (file.page_count() < kFirstUserPage) file.Allocate();
  std::vector<SystemPages> pages;
  std::uint32_t next = std::size(jet::kSystemTables) + jet::kCatalogDefinitionPage;
  for (const jet::SystemTable& table : jet::kSystemTables) {
    SystemPages placed{next++, {}};
    for (std::size_t i = 0; i < table.index_count; ++i) placed.index_roots.push_back(next++);
    pages.push_back(placed);
  }
  assert(next == kCatalogRowsPage);
  return pages;
}

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

// A table whose rows are on their pages, waiting for its maps and definition.
struct WrittenTable {
  TableLayout layout;
  std::uint32_t definition_page = 0;
  std::uint32_t maps_page = 0;
  std::uint32_t rows = 0;
  std::vector<std::uint32_t> data_pages;
  std::vector<std::vector<std::uint32_t>> memo_pages;  // per memo/OLE column, by number
  std::vector<std::vector<std::uint32_t>> index_pages;  // per index
  std::vector<IndexPlacement> indexes;                  // per index; usage filled in later
};

// Writes the map rows of a table on its maps page (and pages at the end when they outgrow it):
// its usage and free-space maps, the pair of each memo/OLE column, the map of each index.
TableMaps WriteMaps(PageFile& file, const WrittenTable& table) {
  // The free-space map names the last page, the only one that may still have room.
  auto last = [](const std::vector<std::uint32_t>& list) {
    return list.empty() ? std::vector<std::uint32_t>{} : std::vector<std::uint32_t>{list.back()};
  };
  std::vector<std::vector<std::uint8_t>> rows;
  rows.push_back(BuildUsageMap(table.data_pages, file));
  rows.push_back(BuildUsageMap(last(table.data_pages), file));
  for (const auto& lval : table.memo_pages) {
    rows.push_back(BuildUsageMap(lval, file));
    rows.push_back(BuildUsageMap(last(lval), file));
  }
  for (const auto& pages : table.index_pages) rows.push_back(BuildUsageMap(pages, file));
  const PlacedRows placed = PlaceRows(file, table.maps_page, 0, rows);

  TableMaps maps;
  std::size_t next = 0;
  maps.usage = placed.pointers[next++];
  maps.free = placed.pointers[next++];
  for (std::size_t i = 0; i < table.memo_pages.size(); ++i) {
    const std::uint32_t usage = placed.pointers[next++];
    maps.long_values.emplace_back(usage, placed.pointers[next++]);
  }
  maps.indexes = table.indexes;
  for (IndexPlacement& index : maps.indexes) index.usage = placed.pointers[next++];
  return maps;
}

// Puts `rows` of a system table on its pages, from `first_page` (none when there are no rows).
std::vector<std::uint32_t> PlaceSystemRows(PageFile& file, std::uint32_t first_page,
                                           std::uint32_t owner,
                                           const std::vector<std::vector<std::uint8_t>>& rows,
                                           std::vector<std::uint32_t>& pointers) {
  if (rows.empty()) return {};
  PlacedRows placed = PlaceRows(file, first_page, owner, rows);
  pointers = std::move(placed.pointers);
  return placed.pages;
}

void AddIndex(PageFile& file, WrittenTable& table, std::uint32_t root,
              std::vector<IndexEntry> entries, std::uint32_t distinct) {
  table.index_pages.push_back(
      WriteIndex(file, table.definition_page, root, std::move(entries)));
  table.indexes.push_back({0, root, distinct});
}

// The number of distinct keys among `entries`.
std::uint32_t DistinctKeys(const std::vector<IndexEntry>& entries) {
  std::set<std::vector<std::uint8_t>> keys;
  for (const IndexEntry& entry : entries) keys.insert(entry.key);
  return static_cast<std::uint32_t>(keys.size());
}

void WriteAll(PageFile& file, const std::vector<TableSource>& tables, const CatalogSpec& besides,
              const HeaderProtection& header) {
  file.Allocate();  // page 0
  const std::vector<SystemPages> system_pages = ReserveSystemPages(file);

  std::vector<WrittenTable> written;
  std::vector<Value> row;
  for (const TableSource& table : tables) {
    const std::uint32_t definition_page = file.Allocate();
    const std::uint32_t maps_page = file.Allocate();
    TableWriter writer(file, table, definition_page);
    if (table.rows != nullptr) {
      while (table.rows->Next(row)) {
        try {
          writer.AddRow(row);
        } catch (const ValueError& e) {
          throw WriterError(table.rows->Where() + ": " + e.what());
        }
      }
    }
    try {
      writer.Finish();
    } catch (const ValueError& e) {
      throw WriterError("table " + table.name + ": " + e.what());
    }
    WrittenTable done;
    done.layout = writer.layout();
    done.layout.name = table.name;
    done.definition_page = definition_page;
    done.maps_page = maps_page;
    done.rows = writer.row_count();
    done.data_pages = writer.data_pages();
    done.memo_pages = writer.memo_pages();
    for (FinishedIndex& index : writer.indexes()) {
      const std::uint32_t root = file.Allocate();
      done.index_pages.push_back(WriteIndex(file, definition_page, root, index.entries));
      done.indexes.push_back({0, root, index.distinct});
      index.entries = IndexEntryList();  // its memory is no longer needed
    }
    written.push_back(std::move(done));
  }

  // The system tables: rows and indexes first, for their maps and definitions below.
  std::vector<CatalogTable> user_tables;
  for (std::size_t i = 0; i < written.size(); ++i) {
    user_tables.push_back({written[i].layout.name, written[i].definition_page,
                           BuildPropertyBlob(tables[i].name, tables[i].description, tables[i].columns)});
  }
  const double now = LocalNow();
  const std::vector<CatalogObject> objects = CatalogObjects(user_tables, besides.links);
  const std::vector<AccessEntry> access = AccessEntries(objects);
  std::vector<WrittenTable> system(std::size(jet::kSystemTables));
  for (std::size_t i = 0; i < system.size(); ++i) {
    system[i].layout = SystemTableLayout(jet::kSystemTables[i]);
    system[i].definition_page = jet::kSystemTables[i].definition_page;
    system[i].maps_page = system_pages[i].maps;
    system[i].memo_pages.resize(system[i].layout.long_value_count);
  }

  WrittenTable& catalog = system[0];
  std::vector<std::uint32_t> catalog_rows;
  catalog.data_pages = PlaceSystemRows(file, kCatalogRowsPage, catalog.definition_page,
                                       EncodeCatalogRows(objects, now, file, catalog.memo_pages),
                                       catalog_rows);
  catalog.rows = static_cast<std::uint32_t>(objects.size());
  AddIndex(file, catalog, system_pages[0].index_roots[0], CatalogNameIndex(objects, catalog_rows),
           catalog.rows);
  AddIndex(file, catalog, system_pages[0].index_roots[1], CatalogIdIndex(objects, catalog_rows),
           catalog.rows);

  WrittenTable& access_table = system[1];
  std::vector<std::uint32_t> access_rows;
  access_table.data_pages = PlaceSystemRows(file, kAccessRowsPage, access_table.definition_page,
                                            EncodeAccessRows(access), access_rows);
  access_table.rows = static_cast<std::uint32_t>(access.size());
  std::set<std::uint32_t> objects_with_entries;
  for (const AccessEntry& entry : access) objects_with_entries.insert(entry.object);
  AddIndex(file, access_table, system_pages[1].index_roots[0],
           AccessObjectIndex(access, access_rows),
           static_cast<std::uint32_t>(objects_with_entries.size()));

  for (std::uint32_t root : system_pages[2].index_roots) {  // MSysQueries: empty
    AddIndex(file, system[2], root, {}, 0);
  }

  // MSysRelationships: its rows on pages of their own, when there are any.
  WrittenTable& relationship_table = system[3];
  const std::vector<RelationshipRow> relationships = RelationshipRows(besides.relationships);
  std::vector<std::uint32_t> relationship_rows;
  if (!relationships.empty()) {
    relationship_table.data_pages =
        PlaceSystemRows(file, file.Allocate(), relationship_table.definition_page,
                        EncodeRelationshipRows(relationships), relationship_rows);
  }
  relationship_table.rows = static_cast<std::uint32_t>(relationships.size());
  for (std::size_t i = 0; i < system_pages[3].index_roots.size(); ++i) {
    std::vector<IndexEntry> entries = RelationshipIndex(i, relationships, relationship_rows);
    const std::uint32_t distinct = DistinctKeys(entries);
    AddIndex(file, relationship_table, system_pages[3].index_roots[i], std::move(entries), distinct);
  }

  // Maps and definitions of every table.
  written.insert(written.begin(), std::make_move_iterator(system.begin()),
                 std::make_move_iterator(system.end()));
  for (const WrittenTable& table : written) {
    const TableMaps maps = WriteMaps(file, table);
    WriteTableDefinition(file, table.definition_page,
                         BuildTableDefinition(table.layout, table.rows, maps));
  }

  // Last, as they depend on the whole file.
  file.Write(kGlobalMapPage, BuildGlobalPageMap(file.page_count()));
  file.Write(0, BuildFileHeader(now, header));
}

void CheckProtection(const Protection& protection) {
  if (protection.encode && protection.encryption != Encryption::None) {
    throw WriterError("a file is either encoded or encrypted, not both");
  }
  if (protection.encode && protection.accdb) {
    throw WriterError("Access 2007 files are encrypted, not encoded");
  }
  if (protection.encryption != Encryption::None && protection.password.empty()) {
    throw WriterError("an encrypted file needs a password");
  }
  if (protection.accdb && !protection.password.empty() &&
      protection.encryption == Encryption::None) {
    throw WriterError("an Access 2007 file's password encrypts it: choose an encryption");
  }
}

}  // namespace

void WriteDatabaseFromSources(const std::string& path, const std::vector<TableSource>& tables,
                              const CatalogSpec& catalog, const Protection& protection) {
  CheckTables(tables);
  CheckLinks(tables, catalog.links);
  CheckRelationships(tables, catalog);
  for (const TableSource& table : tables) {  // refuses a property that cannot be stored, early
    BuildPropertyBlob(table.name, table.description, table.columns);
  }
  CheckProtection(protection);
  HeaderProtection header;
  header.accdb = protection.accdb;
  OfficeEncryption encryption;
  if (protection.encode || protection.encryption != Encryption::None) {
    header.databaseKey = RandomDatabaseKey();
  }
  if (protection.encryption != Encryption::None) {
    encryption = MakeOfficeEncryption(protection.encryption, protection.password,
                                      header.databaseKey, protection.spinCount);
    header.encryptionDescription = std::move(encryption.description);
  } else {
    header.password = protection.password;
  }
  // The header is built last; a password it cannot hold is refused before any row is written.
  BuildFileHeader(0, header);
  PageFile file(path);
  std::unique_ptr<jet::JetEncoding> encoding;
  if (protection.encode) {
    encoding = std::make_unique<jet::JetEncoding>(header.databaseKey);
    file.SetCipher(encoding.get());
  } else {
    file.SetCipher(encryption.cipher.get());
  }
  WriteAll(file, tables, catalog, header);
  file.Commit();
}

void WriteDatabase(const std::string& path, const std::vector<TableSpec>& tables,
                   const CatalogSpec& catalog, const Protection& protection) {
  std::vector<VectorRows> sources;
  sources.reserve(tables.size());
  std::vector<TableSource> streamed;
  for (const TableSpec& table : tables) {
    sources.emplace_back(table);
    streamed.push_back({table.name, table.columns, &sources.back(), table.description, table.indexes});
  }
  WriteDatabaseFromSources(path, streamed, catalog, protection);
}

}  // namespace mkmdb
