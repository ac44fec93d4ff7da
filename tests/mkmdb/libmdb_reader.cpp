#include "libmdb_reader.h"

#include <mdbtools.h>

#include <memory>

namespace mkmdb_test {

struct LibmdbReader::Handle {
  MdbHandle* mdb = nullptr;
};

LibmdbReader::LibmdbReader(const std::string& path, std::size_t bind_size)
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
  }
}

LibmdbReader::~LibmdbReader() {
  if (handle_->mdb != nullptr) mdb_close(handle_->mdb);
  delete handle_;
}

std::vector<std::string> LibmdbReader::UserTables() const {
  std::vector<std::string> names;
  if (!error_.empty()) return names;
  MdbHandle* mdb = handle_->mdb;
  for (unsigned i = 0; i < mdb->num_catalog; ++i) {
    auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
    if (entry->object_type == MDB_TABLE && mdb_is_user_table(entry)) {
      names.emplace_back(entry->object_name);
    }
  }
  return names;
}

bool LibmdbReader::ForEachRow(const std::string& name, std::vector<ReadColumn>& columns,
                              unsigned& declared_rows,
                              const std::function<void(const ReadRow&)>& on_row) {
  if (!error_.empty()) return false;
  MdbHandle* mdb = handle_->mdb;
  std::vector<char> table_name(name.begin(), name.end());
  table_name.push_back('\0');
  MdbTableDef* table = mdb_read_table_by_name(mdb, table_name.data(), MDB_TABLE);
  if (table == nullptr) {
    error_ = "libmdb finds no table " + name;
    return false;
  }
  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> owner(table, mdb_free_tabledef);
  if (mdb_read_columns(table) == nullptr) {
    error_ = "libmdb cannot read the columns of " + name;
    return false;
  }
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
  ReadRow row(count);
  while (mdb_fetch_row(table)) {
    // The row just fetched is still in the page buffer: decode its null mask again.
    int start = 0;
    size_t size = 0;
    mdb_find_row(mdb, static_cast<int>(table->cur_row - 1), &start, &size);
    mdb_crack_row(table, start, size, fields.data());
    for (unsigned i = 0; i < count; ++i) {
      auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      ReadCell& cell = row[i];
      // A Yes/No value lives in the null-mask bit, so it is never NULL.
      cell.is_null = column->col_type != MDB_BOOL && fields[i].is_null;
      cell.text.assign(buffers[i].data(), static_cast<std::size_t>(std::max(lengths[i], 0)));
      cell.raw.clear();
      if (column->is_fixed && !fields[i].is_null && fields[i].value != nullptr) {
        const auto* bytes = static_cast<const std::uint8_t*>(fields[i].value);
        cell.raw.assign(bytes, bytes + fields[i].siz);
      }
    }
    on_row(row);
  }
  return true;
}

std::optional<ReadTable> LibmdbReader::Read(const std::string& name) {
  ReadTable table;
  if (!ForEachRow(name, table.columns, table.declared_rows,
                  [&](const ReadRow& row) { table.rows.push_back(row); })) {
    return std::nullopt;
  }
  return table;
}

}  // namespace mkmdb_test
