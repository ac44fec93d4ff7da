#include "query.h"

#include "quiet_stdio.h"
#include "text.h"

#include <cctype>
#include <cstring>

namespace mdbodbc {
namespace {

// Row offsets on a data page carry two flag bits above the offset itself.
constexpr int kRowOffsetMask = 0x1FFF;

std::string FirstWord(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && (std::isspace(static_cast<unsigned char>(text[i])) || text[i] == '(')) {
    ++i;
  }
  size_t start = i;
  while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
  return text.substr(start, i - start);
}

bool IsWritingStatement(const std::string& word) {
  static const char* const kWriting[] = {"INSERT", "UPDATE", "DELETE", "CREATE", "DROP",
                                         "ALTER",  "GRANT",  "REVOKE", "TRUNCATE", "MERGE",
                                         "REPLACE", "UPSERT"};
  for (const char* keyword : kWriting) {
    if (EqualsIgnoreCase(word, keyword)) return true;
  }
  return false;
}

// libmdbsql prints the real cause of a failed statement and then stores a generic
// "Got no result" text; the first printed line is the one worth reporting.
std::string LibraryMessage(const std::string& printed, const char* stored) {
  size_t pos = 0;
  while (pos < printed.size()) {
    size_t end = printed.find('\n', pos);
    if (end == std::string::npos) end = printed.size();
    std::string line = printed.substr(pos, end - pos);
    pos = end + 1;
    static constexpr std::string_view kLinePrefix = "Error at Line : ";
    if (line.rfind(kLinePrefix, 0) == 0) line.erase(0, kLinePrefix.size());
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    if (!line.empty()) return line;
  }
  return stored;
}

QueryError ClassifyLibraryMessage(const std::string& message, const std::string& text) {
  if (message.find("is not a table in this database") != std::string::npos) {
    return {"42S02", message};
  }
  if (message.rfind("Column ", 0) == 0 && message.find(" not found") != std::string::npos) {
    return {"42S22", message};
  }
  if (message == "syntax error") return {"42000", "syntax error in statement: " + text};
  return {"42000", message};
}

}  // namespace

std::unique_ptr<Query> Query::Run(Database& database, const std::string& text,
                                  QueryError& error) {
  std::string word = FirstWord(text);
  if (IsWritingStatement(word)) {
    error = {"42000", "the database is read-only: " + word + " statements are refused"};
    return nullptr;
  }
  if (!EqualsIgnoreCase(word, "SELECT")) {
    error = {"42000", "only SELECT statements are supported: " + text};
    return nullptr;
  }
  QuietStdio quiet;
  MdbSQL* sql = mdb_sql_init();
  // Each query reads through its own handle on the shared file: libmdb keeps the page being
  // scanned in the handle, and reading a table reloads the handle's catalog, which would pull
  // the catalog entries from under the tables of other queries. mdb_sql_exit closes it.
  sql->mdb = mdb_clone_handle(database.handle());
  mdb_sql_run_query(sql, text.c_str());
  if (mdb_sql_has_error(sql) || sql->cur_table == nullptr) {
    error = ClassifyLibraryMessage(LibraryMessage(quiet.Captured(), mdb_sql_last_error(sql)), text);
    mdb_sql_exit(sql);
    return nullptr;
  }
  std::unique_ptr<Query> query(new Query(database, sql));
  for (unsigned i = 0; i < sql->num_columns; ++i) {
    auto* selected = static_cast<MdbSQLColumn*>(g_ptr_array_index(sql->columns, i));
    bool found = false;
    for (unsigned j = 0; j < query->table_->num_cols; ++j) {
      auto* column = static_cast<MdbColumn*>(g_ptr_array_index(query->table_->columns, j));
      if (g_ascii_strcasecmp(selected->name, column->name) == 0) {
        ColumnInfo info = DescribeColumn(*column, database.IsJet3());
        info.tableIndex = static_cast<int>(j);
        query->columns_.push_back(std::move(info));
        found = true;
        break;
      }
    }
    if (!found) {
      error = {"42S22", std::string("Column ") + selected->name + " not found"};
      return nullptr;
    }
  }
  return query;
}

Query::Query(Database& database, MdbSQL* sql)
    : database_(database), mdb_(sql->mdb), sql_(sql), table_(sql->cur_table) {
  // The library binds every column to a text buffer and would convert each value of each row
  // it passes; values are decoded here from the stored bytes instead, and only when asked for.
  for (unsigned j = 0; j < table_->num_cols; ++j) {
    auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, j));
    column->bind_ptr = nullptr;
    column->len_ptr = nullptr;
  }
}

Query::~Query() {
  QuietStdio quiet;
  // libmdbsql moves the WHERE condition to the table and frees neither.
  if (table_->sarg_tree != nullptr) {
    mdb_sql_free_tree(table_->sarg_tree);
    table_->sarg_tree = nullptr;
  }
  mdb_sql_exit(sql_);
}

void Query::RestoreScanPage() {
  // A backward read loads another page into the handle's page buffer; a table scan continues
  // from the page it was on.
  if (scanPageMoved_ && !table_->is_temp_table && table_->strategy == MDB_TABLE_SCAN &&
      table_->cur_pg_num != 0) {
    mdb_->cur_pg = 0;  // libmdb skips the read when it believes the page is loaded
    mdb_read_pg(mdb_, table_->cur_phys_pg);
  }
  scanPageMoved_ = false;
}

bool Query::Next(RowLocation& where) {
  QuietStdio quiet;
  MdbHandle* mdb = mdb_;
  RestoreScanPage();
  while (mdb_sql_fetch_row(sql_, table_)) {
    where.page = table_->is_temp_table ? table_->cur_pg_num : mdb->cur_pg;
    where.row = table_->cur_row - 1;
    std::string ignored;
    bool captured = CaptureRow(where.row, ignored);
    // A computed result is copied into the page buffer without telling the handle.
    if (table_->is_temp_table) mdb->cur_pg = 0;
    if (captured) return true;
  }
  if (table_->is_temp_table) mdb->cur_pg = 0;
  return false;
}

bool Query::ReadAt(const RowLocation& where, std::string& error) {
  QuietStdio quiet;
  MdbHandle* mdb = mdb_;
  scanPageMoved_ = true;
  mdb->cur_pg = 0;
  if (table_->is_temp_table) {
    GPtrArray* pages = table_->temp_table_pages;
    if (where.page == 0 || where.page > pages->len) {
      error = "the row is no longer available";
      return false;
    }
    std::memcpy(mdb->pg_buf, g_ptr_array_index(pages, where.page - 1),
                static_cast<size_t>(mdb->fmt->pg_size));
    mdb->cur_pg = 0;
  } else if (mdb_read_pg(mdb, where.page) != mdb->fmt->pg_size) {
    error = "page " + std::to_string(where.page) + " cannot be read";
    return false;
  }
  return CaptureRow(where.row, error);
}

bool Query::CaptureRow(unsigned row, std::string& error) {
  MdbHandle* mdb = mdb_;
  int start = 0;
  size_t length = 0;
  size_t pageSize = static_cast<size_t>(mdb->fmt->pg_size);
  if (mdb_find_row(mdb, static_cast<int>(row), &start, &length) != 0) {
    error = "the row cannot be found on its page";
    return false;
  }
  start &= kRowOffsetMask;
  if (static_cast<size_t>(start) > pageSize || length > pageSize - start) {
    error = "the row lies outside its page";
    return false;
  }
  std::vector<MdbField> fields(std::max<unsigned>(table_->num_cols, 1));
  int count = mdb_crack_row(table_, start, length, fields.data());
  if (count < 0) {
    error = "the row cannot be decoded";
    return false;
  }
  current_.bytes.assign(mdb->pg_buf + start, mdb->pg_buf + start + length);
  current_.fields.assign(table_->num_cols, RawField{});
  for (int i = 0; i < count && static_cast<unsigned>(i) < table_->num_cols; ++i) {
    const MdbField& field = fields[static_cast<size_t>(i)];
    if (field.colnum < 0 || static_cast<unsigned>(field.colnum) >= table_->num_cols) continue;
    RawField& raw = current_.fields[static_cast<size_t>(field.colnum)];
    raw.isNull = field.is_null != 0;
    long offset = static_cast<long>(field.start) - start;
    if (offset < 0 || field.siz < 0 || static_cast<size_t>(offset) + field.siz > length) {
      raw.damaged = true;
      continue;
    }
    raw.offset = static_cast<uint32_t>(offset);
    raw.size = static_cast<uint32_t>(field.siz);
  }
  return true;
}

std::optional<FieldValue> Query::Value(size_t column, std::string& error) const {
  const ColumnInfo& info = columns_.at(column);
  QuietStdio quiet;
  return DecodeField(mdb_, *info.column, info.tableIndex, current_, error);
}

}  // namespace mdbodbc
