#include "libmdb_oracle.h"

#include <mdbtools.h>

#include <cstdlib>

namespace jettest {

struct LibmdbOracle::Handle {
  MdbHandle* mdb = nullptr;
};

namespace {
constexpr std::size_t kBindSize = 1 << 20;
}

std::string IndexText(const std::string& name, bool primaryKey, bool foreignKey, bool unique,
                      const std::vector<std::pair<std::string, bool>>& keys) {
  std::string kinds;
  for (const auto& [applies, kind] : {std::pair{primaryKey, "primary key"},
                                      std::pair{foreignKey, "foreign key"},
                                      std::pair{unique, "unique"}}) {
    if (applies) kinds += (kinds.empty() ? "" : ", ") + std::string(kind);
  }
  std::string text = name + ":" + (kinds.empty() ? "" : " " + kinds) + " (";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    text += (i > 0 ? ", " : "") + keys[i].first + (keys[i].second ? "" : " desc");
  }
  return text + ")";
}

LibmdbOracle::LibmdbOracle(const std::string& path) {
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (mdb == nullptr) return;
  mdb_set_date_fmt(mdb, "%Y-%m-%d %H:%M:%S");
  mdb_set_bind_size(mdb, kBindSize);
  if (mdb_read_catalog(mdb, MDB_TABLE) == nullptr) {
    mdb_close(mdb);
    return;
  }
  handle_ = new Handle{mdb};
}

LibmdbOracle::~LibmdbOracle() {
  if (handle_ != nullptr) mdb_close(handle_->mdb);
  delete handle_;
}

std::vector<std::string> LibmdbOracle::UserTables() const {
  std::vector<std::string> names;
  if (handle_ == nullptr) return names;
  for (unsigned i = 0; i < handle_->mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(handle_->mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
      names.emplace_back(entry->object_name);
    }
  }
  return names;
}

std::vector<std::uint32_t> LibmdbOracle::IndexOrder(const std::string& name,
                                                    const std::string& indexName) const {
  std::vector<std::uint32_t> pointers;
  if (handle_ == nullptr) return pointers;
  std::vector<char> tableName(name.begin(), name.end());
  tableName.push_back('\0');
  MdbTableDef* table = mdb_read_table_by_name(handle_->mdb, tableName.data(), MDB_TABLE);
  if (table == nullptr) return pointers;
  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(table, mdb_free_tabledef);
  if (mdb_read_columns(table) == nullptr) return pointers;
  mdb_read_indices(table);
  if (table->indices == nullptr) return pointers;
  for (unsigned i = 0; i < table->indices->len; ++i) {
    auto* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
    if (indexName != index->name) continue;
    auto chain = std::make_unique<MdbIndexChain>();
    guint32 page = 0;
    guint16 row = 0;
    while (mdb_index_find_next(handle_->mdb, index, chain.get(), &page, &row)) {
      pointers.push_back((page << 8) | row);
    }
    break;
  }
  return pointers;
}

bool LibmdbOracle::Read(const std::string& name, OracleTable& out) const {
  if (handle_ == nullptr) return false;
  MdbHandle* mdb = handle_->mdb;
  std::vector<char> tableName(name.begin(), name.end());
  tableName.push_back('\0');
  MdbTableDef* table = mdb_read_table_by_name(mdb, tableName.data(), MDB_TABLE);
  if (table == nullptr) return false;
  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(table, mdb_free_tabledef);
  if (mdb_read_columns(table) == nullptr) return false;
  const unsigned count = table->num_cols;
  out = OracleTable{};
  mdb_read_indices(table);  // fills table->indices (its return value is always null)
  if (table->indices != nullptr) {
    for (unsigned i = 0; i < table->indices->len; ++i) {
      auto* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
      std::vector<std::pair<std::string, bool>> keys;
      for (unsigned k = 0; k < index->num_keys; ++k) {
        // libmdb keeps key columns as 1-based positions among the columns.
        auto* column = static_cast<MdbColumn*>(
            g_ptr_array_index(table->columns, index->key_col_num[k] - 1));
        keys.emplace_back(column->name, index->key_col_order[k] != MDB_DESC);
      }
      out.indexes.push_back(IndexText(index->name, index->index_type == 1,
                                      index->index_type == 2, (index->flags & 0x01) != 0, keys));
    }
  }
  std::vector<std::vector<char>> buffers(count, std::vector<char>(kBindSize + 1));
  std::vector<int> lengths(count);
  for (unsigned i = 0; i < count; ++i) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    out.columns.emplace_back(column->name);
    out.types.push_back(column->col_type);
    mdb_bind_column(table, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
  }
  mdb_rewind_table(table);
  std::vector<MdbField> fields(count);
  while (mdb_fetch_row(table)) {
    // The row just fetched is still in the page buffer: decode its null mask again.
    int start = 0;
    size_t size = 0;
    mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &size);
    mdb_crack_row(table, start, size, fields.data());
    std::vector<OracleCell> row(count);
    for (unsigned i = 0; i < count; ++i) {
      auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      row[i].null = column->col_type != MDB_BOOL && fields[i].is_null;
      if (row[i].null) continue;
      if (column->col_type == MDB_OLE) {
        size_t oleSize = 0;
        void* ole = mdb_ole_read_full(mdb, column, &oleSize);
        if (ole != nullptr) row[i].text.assign(static_cast<const char*>(ole), oleSize);
        std::free(ole);
      } else {
        row[i].text.assign(buffers[i].data(), static_cast<std::size_t>(std::max(lengths[i], 0)));
      }
    }
    out.rows.push_back(std::move(row));
  }
  return true;
}

}  // namespace jettest
