// MSysACEs: the access-control entries, which give accounts their rights on each object of the
// catalog. Every object gets the entries Access gives the same kind of object in a new file.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "catalog.h"
#include "index_pages.h"

namespace mkmdb {

struct AccessEntry {
  std::uint32_t object;               // the catalog Id
  std::span<const std::uint8_t> sid;  // the account (jet::kSid...)
  std::uint32_t rights;               // the ACM bit mask
  bool inheritable;                   // passed on to objects created inside a container
};

std::vector<AccessEntry> AccessEntries(const std::vector<CatalogObject>& objects);
std::vector<std::vector<std::uint8_t>> EncodeAccessRows(const std::vector<AccessEntry>& entries);
// The entries of the ObjectId index, given where each row went.
std::vector<IndexEntry> AccessObjectIndex(const std::vector<AccessEntry>& entries,
                                          const std::vector<std::uint32_t>& rows);

}  // namespace mkmdb
