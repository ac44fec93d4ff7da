#include "catalog.h"

#include "text/utf.h"

#include <array>
#include <memory>
#include <span>

#include "index_keys.h"
#include "text/case_fold.h"
#include "jet/format.h"
#include "jet_text.h"
#include "memo_store.h"
#include "row_encoder.h"
#include "system_tables.h"

namespace mkmdb {
namespace {

enum CatalogColumn {
  kId, kParentId, kName, kType, kDateCreate, kDateUpdate, kOwner, kFlags, kDatabase, kConnect,
  kForeignName, kRmtInfoShort, kRmtInfoLong, kLv, kLvProp, kLvModule, kLvExtra, kColumnCount
};
static_assert(kColumnCount == std::size(jet::kCatalogColumns));

CatalogObject Engine(std::uint32_t id, std::uint32_t parent, std::u16string name,
                     std::int16_t type) {
  return {id, parent, std::move(name), type, jet::kObjectSystemFlag, true};
}

CatalogObject Application(std::uint32_t offset, std::uint32_t parent, std::u16string name,
                          std::int16_t type) {
  return {jet::kFirstApplicationObject + offset, parent, std::move(name), type, 0, false};
}

}  // namespace

std::vector<CatalogObject> CatalogObjects(const std::vector<CatalogTable>& tables,
                                          const std::vector<LinkSpec>& links) {
  using namespace jet;
  std::vector<CatalogObject> objects = {
      Engine(kTablesContainer, kContainersParent, u"Tables", kObjectContainer),
      Engine(kDatabasesContainer, kContainersParent, u"Databases", kObjectContainer),
      Engine(kRelationshipsContainer, kContainersParent, u"Relationships", kObjectContainer),
      {kDatabaseObject, kDatabasesContainer, u"MSysDb", kObjectDatabase, kObjectSystemFlag,
       false},
  };
  for (const SystemTable& table : kSystemTables) {
    std::u16string name;
    textconv::Utf8ToUtf16(table.name, name);
    objects.push_back(Engine(table.definition_page, kTablesContainer, name, kObjectTable));
  }
  const char16_t* containers[] = {u"DataAccessPages", u"Forms", u"Modules",
                                  u"Reports",         u"Scripts", u"SysRel"};
  std::uint32_t next = 0;
  for (const char16_t* name : containers) {
    objects.push_back(Application(next++, kContainersParent, name, kObjectContainer));
  }
  objects.push_back(Application(next++, kDatabasesContainer, u"SummaryInfo", kObjectDocument));
  objects.push_back(Application(next++, kDatabasesContainer, u"UserDefined", kObjectDocument));
  for (const CatalogTable& table : tables) {
    CatalogObject object{table.definition_page, kTablesContainer, {}, kObjectTable, 0, false};
    textconv::Utf8ToUtf16(table.name, object.name);
    object.properties = table.properties;
    objects.push_back(std::move(object));
  }
  for (const LinkSpec& link : links) {
    const bool odbc = link.connect.size() >= 5 && textconv::EqualFolded(link.connect.substr(0, 5), "ODBC;");
    CatalogObject object = Application(next++, kTablesContainer, {},
                                       odbc ? kObjectLinkedOdbcTable : kObjectLinkedTable);
    textconv::Utf8ToUtf16(link.name, object.name);
    textconv::Utf8ToUtf16(link.file, object.database);
    textconv::Utf8ToUtf16(link.connect, object.connect);
    textconv::Utf8ToUtf16(link.table, object.foreign_name);
    objects.push_back(std::move(object));
  }
  return objects;
}

std::vector<std::vector<std::uint8_t>> EncodeCatalogRows(const std::vector<CatalogObject>& objects,
                                                         double now, PageFile& file,
                                                         std::vector<std::vector<std::uint32_t>>& memo_pages) {
  const TableLayout layout = SystemTableLayout(jet::kSystemTables[0]);
  // A store for each long value column, by its place among them.
  std::vector<std::unique_ptr<MemoStore>> stores;
  std::array<std::size_t, kColumnCount> store_of{};
  for (std::size_t c = 0; c < layout.columns.size(); ++c) {
    if (!layout.columns[c].long_value()) continue;
    store_of[c] = stores.size();
    stores.push_back(std::make_unique<MemoStore>(file));
  }
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const CatalogObject& object : objects) {
    std::uint8_t id[4], parent[4], type[2], date[8], flags[4];
    jet::PutU32(id, object.id);
    jet::PutU32(parent, object.parent);
    jet::PutU16(type, static_cast<std::uint16_t>(object.type));
    jet::PutF64(date, now);
    jet::PutU32(flags, object.flags);
    const std::vector<std::uint8_t> name = Utf16Bytes(object.name);
    const std::vector<std::uint8_t> foreign_name = Utf16Bytes(object.foreign_name);
    const std::span<const std::uint8_t> owner =
        object.engine_owned ? std::span<const std::uint8_t>(jet::kSidEngine)
                            : std::span<const std::uint8_t>(jet::kSidAdminUser);
    std::array<Cell, kColumnCount> cells{};
    cells[kId] = {true, id};
    cells[kParentId] = {true, parent};
    cells[kName] = {true, name};
    cells[kType] = {true, type};
    cells[kDateCreate] = {true, date};
    cells[kDateUpdate] = {true, date};
    cells[kOwner] = {true, owner};
    cells[kFlags] = {true, flags};
    std::vector<std::uint8_t> fields[kColumnCount];
    auto store = [&](CatalogColumn column, const std::vector<std::uint8_t>& stored) {
      if (stored.empty()) return;
      stores[store_of[column]]->Store(stored, fields[column]);
      cells[column] = {true, fields[column]};
    };
    auto text = [&](const std::u16string& value) {
      std::vector<std::uint8_t> stored;
      if (!value.empty() && !EncodeJetText(value, true, stored)) {
        throw WriterError("a link's path or connect string cannot be stored (it starts with U+FEFF)");
      }
      return stored;
    };
    store(kDatabase, text(object.database));
    store(kConnect, text(object.connect));
    store(kLvProp, object.properties);
    if (!object.foreign_name.empty()) cells[kForeignName] = {true, foreign_name};
    encoded.emplace_back();
    EncodeRow(layout, cells, encoded.back());
  }
  memo_pages.clear();
  for (auto& s : stores) {
    s->Finish();
    memo_pages.push_back(s->pages());
  }
  return encoded;
}

std::vector<IndexEntry> CatalogNameIndex(const std::vector<CatalogObject>& objects,
                                         const std::vector<std::uint32_t>& rows) {
  return IndexEntries(objects, rows, [](const CatalogObject& object, std::vector<std::uint8_t>& key) {
    AppendLongKey(static_cast<std::int32_t>(object.parent), key);
    AppendTextKey(object.name, key);
  });
}

std::vector<IndexEntry> CatalogIdIndex(const std::vector<CatalogObject>& objects,
                                       const std::vector<std::uint32_t>& rows) {
  return IndexEntries(objects, rows, [](const CatalogObject& object, std::vector<std::uint8_t>& key) {
    AppendLongKey(static_cast<std::int32_t>(object.id), key);
  });
}

}  // namespace mkmdb
