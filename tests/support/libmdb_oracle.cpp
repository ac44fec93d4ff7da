#include "libmdb_oracle.h"

#include <mdbtools.h>

#include <algorithm>
#include <cstdlib>

namespace testsupport {

struct LibmdbOracle::Handle { MdbHandle* mdb = nullptr; };

struct LibmdbOracle::TableHandle {
  MdbTableDef* table = nullptr;
  ~TableHandle() { if (table != nullptr) mdb_free_tabledef(table); }
};

LibmdbOracle::LibmdbOracle(const std::string& path, std::size_t bind_size)
    : handle_(new Handle), bind_size_(bind_size) {
  handle_->mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (handle_->mdb == nullptr) {
    error_ = "libmdb cannot open " + path;
    return;
  }
  mdb_set_date_fmt(handle_->mdb, "%Y-%m-%d %H:%M:%S");
  mdb_set_bind_size(handle_->mdb, bind_size_);
  if (mdb_read_catalog(handle_->mdb, MDB_TABLE) == nullptr) {
    error_ = "libmdb cannot read the catalog of " + path;
    return;
  }
  readable_ = true;
}

LibmdbOracle::~LibmdbOracle() {
  if (handle_->mdb != nullptr) mdb_close(handle_->mdb);
  delete handle_;
}

std::vector<std::string> LibmdbOracle::UserTables() const {
  std::vector<std::string> names;
  if (!readable_) return names;
  MdbHandle* mdb = handle_->mdb;
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
      names.emplace_back(entry->object_name);
    }
  }
  return names;
}

std::unique_ptr<LibmdbOracle::TableHandle> LibmdbOracle::Open(const std::string& name,
                                                              bool indexes) {
  if (!readable_) return nullptr;
  std::vector<char> table_name(name.c_str(), name.c_str() + name.size() + 1);
  auto handle = std::make_unique<TableHandle>();
  handle->table = mdb_read_table_by_name(handle_->mdb, table_name.data(), MDB_TABLE);
  if (handle->table == nullptr) {
    error_ = "libmdb finds no table " + name;
    return nullptr;
  }
  if (mdb_read_columns(handle->table) == nullptr) {
    error_ = "libmdb cannot read the columns of " + name;
    return nullptr;
  }
  if (!indexes) return handle;
  mdb_read_indices(handle->table);  // its result says nothing: it gives null when it succeeds
  if (handle->table->num_idxs > 0 && handle->table->indices == nullptr) {
    error_ = "libmdb cannot read the indexes of " + name;
    return nullptr;
  }
  return handle;
}

bool LibmdbOracle::ForEachRow(const std::string& name, std::vector<OracleColumn>& columns,
                              unsigned& declared_rows,
                              const std::function<void(const OracleRow&)>& on_row) {
  const auto handle = Open(name, false);
  if (handle == nullptr) return false;
  MdbHandle* mdb = handle_->mdb;
  MdbTableDef* table = handle->table;
  declared_rows = table->num_rows;
  columns.clear();
  const unsigned count = table->num_cols;
  std::vector<std::vector<char>> buffers(count, std::vector<char>(bind_size_ + 1));
  std::vector<int> lengths(count);
  for (unsigned i = 0; i < count; ++i) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    columns.push_back({column->name, column->col_type, column->col_size});
    mdb_bind_column(table, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
  }
  mdb_rewind_table(table);
  std::vector<MdbField> fields(count);
  OracleRow row(count);
  while (mdb_fetch_row(table)) {
    // The row just fetched is still in the page buffer: decode its null mask again.
    int start = 0;
    size_t size = 0;
    mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &size);
    mdb_crack_row(table, start, size, fields.data());
    for (unsigned i = 0; i < count; ++i) {
      auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      OracleCell& cell = row[i];
      // A Yes/No value lives in the null-mask bit, so it is never NULL.
      cell.is_null = column->col_type != MDB_BOOL && fields[i].is_null;
      cell.text.assign(buffers[i].data(), static_cast<std::size_t>(std::max(lengths[i], 0)));
      cell.raw.clear();
      const bool stored = column->is_fixed || column->col_type == MDB_BINARY;
      if (stored && !fields[i].is_null && fields[i].value != nullptr) {
        const auto* bytes = static_cast<const std::uint8_t*>(fields[i].value);
        cell.raw.assign(bytes, bytes + fields[i].siz);
      }
      if (column->col_type == MDB_OLE && !fields[i].is_null) {
        // The bound value is the field's header; libmdb follows it to the object's bytes.
        std::size_t object_size = 0;
        void* object = mdb_ole_read_full(mdb, column, &object_size);
        if (object != nullptr) {
          const auto* bytes = static_cast<const std::uint8_t*>(object);
          cell.raw.assign(bytes, bytes + object_size);
          std::free(object);
        }
      }
    }
    on_row(row);
  }
  return true;
}

std::optional<OracleTable> LibmdbOracle::Read(const std::string& name) {
  OracleTable table;
  if (!ForEachRow(name, table.columns, table.declared_rows,
                  [&](const OracleRow& row) { table.rows.push_back(row); })) {
    return std::nullopt;
  }
  return table;
}

std::vector<OracleIndex> LibmdbOracle::Indexes(const std::string& name) {
  std::vector<OracleIndex> indexes;
  const auto handle = Open(name, true);
  if (handle == nullptr) return indexes;
  MdbTableDef* table = handle->table;
  for (unsigned i = 0; i < table->num_idxs; ++i) {
    auto* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
    OracleIndex read{index->name, index->index_type, {}, index->flags};
    for (unsigned k = 0; k < index->num_keys; ++k) {
      // libmdb counts key columns from 1.
      const int column = index->key_col_num[k] - 1;
      std::string key = column >= 0 && static_cast<unsigned>(column) < table->num_cols
                            ? static_cast<MdbColumn*>(g_ptr_array_index(table->columns, column))->name
                            : "?";
      read.keys.push_back(key + (index->key_col_order[k] == MDB_DESC ? " desc" : ""));
    }
    indexes.push_back(std::move(read));
  }
  return indexes;
}

std::vector<std::uint32_t> LibmdbOracle::RowPointers(const std::string& name) {
  std::vector<std::uint32_t> pointers;
  const auto handle = Open(name, false);
  if (handle == nullptr) return pointers;
  mdb_rewind_table(handle->table);
  while (mdb_fetch_row(handle->table)) {
    pointers.push_back((handle->table->cur_phys_pg << 8) | (handle->table->cur_row - 1));
  }
  return pointers;
}

std::vector<std::uint32_t> LibmdbOracle::IndexOrder(const std::string& name,
                                                    const std::string& index_name) {
  std::vector<std::uint32_t> pointers;
  const auto handle = Open(name, true);
  if (handle == nullptr) return pointers;
  MdbTableDef* table = handle->table;
  for (unsigned i = 0; i < table->num_idxs; ++i) {
    auto* index = static_cast<MdbIndex*>(g_ptr_array_index(table->indices, i));
    if (index_name != index->name) continue;
    auto chain = std::make_unique<MdbIndexChain>();
    guint32 page = 0;
    guint16 row = 0;
    while (mdb_index_find_next(handle_->mdb, index, chain.get(), &page, &row)) {
      pointers.push_back((page << 8) | row);
    }
    return pointers;
  }
  error_ = "libmdb finds no index " + index_name + " on " + name;
  return pointers;
}

}  // namespace testsupport
