#include "access_control.h"

#include <array>

#include "index_keys.h"
#include "jet/format.h"
#include "row_encoder.h"
#include "system_tables.h"

namespace mkmdb {
namespace {

using Sid = std::span<const std::uint8_t>;
const Sid kAdminUser(jet::kSidAdminUser);
const Sid kAdmins(jet::kSidAdminsGroup);
const Sid kUsers(jet::kSidUsersGroup);
const Sid kCreator(jet::kSidCreator);

// Rights masks as Access writes them.
constexpr std::uint32_t kFull = 0x000FFFFF;
constexpr std::uint32_t kFullData = 0x000FFEFF;
constexpr std::uint32_t kCreatorOfContainer = 0x000F00FE;

struct Grant {
  Sid sid;
  std::uint32_t rights;
  bool inheritable;
};

std::vector<Grant> GrantsFor(const CatalogObject& object) {
  switch (object.id) {
    case jet::kTablesContainer:
      return {{kCreator, kCreatorOfContainer, true}, {kAdminUser, kFullData, true},
              {kAdmins, kFullData, true}, {kUsers, kFullData, true}};
    case jet::kDatabasesContainer:
      return {{kAdminUser, 0x00060000, false}};
    case jet::kRelationshipsContainer:
      return {{kCreator, kCreatorOfContainer, true}, {kAdminUser, 0x00060001, false},
              {kAdmins, kFull, true}, {kUsers, kFull, true}};
    case jet::kDatabaseObject:
      return {{kAdminUser, 0x0006000E, false}, {kUsers, 0x0000000E, false},
              {kAdmins, 0x0006000E, false}};
    default:
      break;
  }
  if (object.engine_owned) {  // the system tables
    const std::uint32_t page = object.id;
    if (page == jet::kSystemTables[1].definition_page) {  // MSysACEs
      return {{kAdminUser, 0x00060000, false}, {kAdmins, 0x00060054, false}};
    }
    const std::uint32_t owner = page == jet::kSystemTables[3].definition_page ? 0x000E0000
                                                                              : 0x00060000;
    const std::uint32_t admins = page == jet::kCatalogDefinitionPage ? 0x00060054 : 0x00060014;
    return {{kAdminUser, owner, false}, {kAdmins, admins, false}, {kUsers, 0x00000014, false}};
  }
  if (object.type == jet::kObjectContainer) {  // the application's containers
    return {{kUsers, kFull, true}, {kAdmins, kFull, true}, {kAdminUser, kFull, true},
            {kCreator, kFull, true}};
  }
  if (object.type == jet::kObjectDocument) return {{kUsers, kFull, false}};
  return {{kAdminUser, kFullData, false}, {kAdmins, kFullData, false}, {kUsers, kFullData, false}};
}

enum AccessColumn { kObjectId, kSid, kAcm, kInheritable, kColumnCount };
static_assert(kColumnCount == std::size(jet::kAccessControlColumns));

}  // namespace

std::vector<AccessEntry> AccessEntries(const std::vector<CatalogObject>& objects) {
  std::vector<AccessEntry> entries;
  for (const CatalogObject& object : objects) {
    for (const Grant& grant : GrantsFor(object)) {
      entries.push_back({object.id, grant.sid, grant.rights, grant.inheritable});
    }
  }
  return entries;
}

std::vector<std::vector<std::uint8_t>> EncodeAccessRows(const std::vector<AccessEntry>& entries) {
  const TableLayout layout = SystemTableLayout(jet::kSystemTables[1]);
  std::vector<std::vector<std::uint8_t>> rows;
  for (const AccessEntry& entry : entries) {
    std::uint8_t object[4], rights[4];
    jet::PutU32(object, entry.object);
    jet::PutU32(rights, entry.rights);
    std::array<Cell, kColumnCount> cells{};
    cells[kObjectId] = {true, object};
    cells[kSid] = {true, entry.sid};
    cells[kAcm] = {true, rights};
    cells[kInheritable] = {entry.inheritable, {}};
    rows.emplace_back();
    EncodeRow(layout, cells, rows.back());
  }
  return rows;
}

std::vector<IndexEntry> AccessObjectIndex(const std::vector<AccessEntry>& entries,
                                          const std::vector<std::uint32_t>& rows) {
  return IndexEntries(entries, rows, [](const AccessEntry& entry, std::vector<std::uint8_t>& key) {
    AppendLongKey(static_cast<std::int32_t>(entry.object), key);
  });
}

}  // namespace mkmdb
