#include "catalog.h"

#include <array>

#include "jet/format.h"
#include "jet_text.h"
#include "row_encoder.h"

namespace mkmdb {
namespace {

constexpr std::uint32_t kContainersParent = 0x0F000000;
constexpr std::uint32_t kTablesContainer = 0x0F000001;
constexpr std::uint32_t kDatabasesContainer = 0x0F000002;
constexpr std::uint32_t kRelationshipsContainer = 0x0F000003;
constexpr std::uint32_t kSystemObject = 0x80000000;
constexpr std::uint16_t kObjectTable = 1;
constexpr std::uint16_t kObjectContainer = 3;

enum CatalogColumn {
  kId, kParentId, kName, kType, kDateCreate, kDateUpdate, kOwner, kFlags, kDatabase, kConnect,
  kForeignName, kRmtInfoShort, kRmtInfoLong, kLv, kLvProp, kLvModule, kLvExtra, kColumnCount
};

PhysicalColumn Column(const char* name, std::uint8_t type, std::uint8_t flags,
                      std::uint16_t length) {
  PhysicalColumn column;
  column.name = name;
  column.type = type;
  column.flags = flags;
  column.length = length;
  return column;
}

struct CatalogRow {
  std::uint32_t id;
  std::uint32_t parent;
  std::u16string name;
  std::uint16_t type;
  std::uint32_t flags;
};

}  // namespace

TableLayout CatalogLayout() {
  constexpr std::uint8_t kFixed = 0x13;
  constexpr std::uint8_t kVariable = 0x12;
  std::vector<PhysicalColumn> columns = {
      Column("Id", jet::kTypeInt32, kFixed, 4),
      Column("ParentId", jet::kTypeInt32, kFixed, 4),
      Column("Name", jet::kTypeText, kVariable, 510),
      Column("Type", jet::kTypeInt16, kFixed, 2),
      Column("DateCreate", jet::kTypeDateTime, kFixed, 8),
      Column("DateUpdate", jet::kTypeDateTime, kFixed, 8),
      Column("Owner", jet::kTypeBinary, 0x32, 510),
      Column("Flags", jet::kTypeInt32, kFixed, 4),
      Column("Database", jet::kTypeMemo, kVariable, 0),
      Column("Connect", jet::kTypeMemo, kVariable, 0),
      Column("ForeignName", jet::kTypeText, kVariable, 510),
      Column("RmtInfoShort", jet::kTypeBinary, kVariable, 510),
      Column("RmtInfoLong", jet::kTypeOle, kVariable, 0),
      Column("Lv", jet::kTypeOle, kVariable, 0),
      Column("LvProp", jet::kTypeOle, kVariable, 0),
      Column("LvModule", jet::kTypeOle, kVariable, 0),
      Column("LvExtra", jet::kTypeOle, kVariable, 0),
  };
  return LayOutTable("MSysObjects", true, std::move(columns));
}

std::vector<std::vector<std::uint8_t>> BuildCatalogRows(const std::vector<CatalogTable>& tables,
                                                        double now) {
  std::vector<CatalogRow> rows = {
      {kTablesContainer, kContainersParent, u"Tables", kObjectContainer, kSystemObject},
      {kDatabasesContainer, kContainersParent, u"Databases", kObjectContainer, kSystemObject},
      {kRelationshipsContainer, kContainersParent, u"Relationships", kObjectContainer,
       kSystemObject},
      {kCatalogDefinitionPage, kTablesContainer, u"MSysObjects", kObjectTable, kSystemObject},
  };
  Utf8Decoder decoder;
  for (const CatalogTable& table : tables) {
    CatalogRow row{table.definition_page, kTablesContainer, {}, kObjectTable, 0};
    decoder.Decode(table.name, row.name);
    rows.push_back(std::move(row));
  }

  const TableLayout layout = CatalogLayout();
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const CatalogRow& row : rows) {
    std::uint8_t id[4], parent[4], type[2], date[8], flags[4];
    jet::PutU32(id, row.id);
    jet::PutU32(parent, row.parent);
    jet::PutU16(type, row.type);
    jet::PutF64(date, now);
    jet::PutU32(flags, row.flags);
    const std::vector<std::uint8_t> name = Utf16Bytes(row.name);
    std::array<Cell, kColumnCount> cells{};
    cells[kId] = {true, id};
    cells[kParentId] = {true, parent};
    cells[kName] = {true, name};
    cells[kType] = {true, type};
    cells[kDateCreate] = {true, date};
    cells[kDateUpdate] = {true, date};
    cells[kFlags] = {true, flags};
    encoded.emplace_back();
    EncodeRow(layout, cells, encoded.back());
  }
  return encoded;
}

}  // namespace mkmdb
