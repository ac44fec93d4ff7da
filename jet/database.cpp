#include "database.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "text/case_fold.h"
#include "catalog.h"
#include "complex_values.h"
#include "definition_reader.h"
#include "file_context.h"
#include "file_header.h"
#include "file_protection.h"
#include "index_scan.h"
#include "row_count.h"
#include "table_scan.h"

namespace jet {
namespace {

class FileDatabase : public Database {
 public:
  FileDatabase(std::shared_ptr<const OpenFile> file, std::vector<CatalogTable> tables)
      : file_(std::move(file)), tables_(std::move(tables)) {}

  const std::string& Path() const override { return path_; }
  Version FileVersion() const override { return file_->context.version; }
  int CodePage() const override { return codePage_; }
  std::uint32_t PageCount() const override { return file_->context.pageCount; }
  Encryption FileEncryption() const override { return encryption_; }
  const std::vector<CatalogTable>& Tables() const override { return tables_; }

  bool ReadDefinition(std::string_view name, TableDefinition& out,
                      std::string& error) const override {
    for (const CatalogTable& table : tables_) {
      if (!textconv::EqualFolded(table.name, name)) continue;
      if (table.linked) {
        error = "table " + Quoted(table.name) + " is a link to " +
                (table.link.table.empty() ? "a table" : "table " + Quoted(table.link.table)) +
                " in another database, whose definition is kept there";
        return false;
      }
      std::string why;
      if (!ReadTableDefinition(file_->context, table.definitionPage, table.name, out, why)) {
        error = "table " + Quoted(table.name) + ": " + why;
        return false;
      }
      return true;
    }
    error = "no table " + Quoted(name) + " in the database";
    return false;
  }

  bool ReadProperties(std::string_view name, ObjectProperties& out,
                      std::string& error) const override {
    return ReadCatalogProperties(file_, name, out, error);
  }

  std::unique_ptr<Scan> StartScan(const TableDefinition& table) const override {
    return std::make_unique<TableScan>(file_, table, ComplexColumnsOf(table));
  }

  std::unique_ptr<Scan> StartIndexScan(const TableDefinition& table, std::size_t index,
                                       const KeyRange& range, bool descending,
                                       IndexPageCache* cache) const override {
    return std::make_unique<IndexScan>(file_, table, index, range, descending, cache,
                                       ComplexColumnsOf(table));
  }

  // The values of each complex column of `table`, by position (empty when it has none).
  std::vector<std::shared_ptr<const ComplexValues>> ComplexColumnsOf(const TableDefinition& table) const {
    std::vector<std::shared_ptr<const ComplexValues>> complex;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (table.columns[i].type != ColumnType::Complex) continue;
      complex.resize(table.columns.size());
      complex[i] = ComplexValuesOf(table.definitionPage, table.columns[i]);
    }
    return complex;
  }

  bool CountRows(const TableDefinition& table, std::uint64_t& count,
                 std::string& error) const override {
    // The file never changes once open: a table's count is read once, then kept. A table is
    // known by its definition page and usage map.
    const std::uint64_t key = static_cast<std::uint64_t>(table.definitionPage) << 32 |
                              table.usageMap;
    {
      std::lock_guard<std::mutex> lock(countsMutex_);
      const auto kept = counts_.find(key);
      if (kept != counts_.end()) {
        count = kept->second;
        return true;
      }
    }
    if (!CountTableRows(file_->context, table, count, error)) return false;
    std::lock_guard<std::mutex> lock(countsMutex_);
    counts_[key] = count;
    return true;
  }

  int codePage_ = 0;
  Encryption encryption_ = Encryption::None;
  std::string path_;

 private:
  // The values of a complex column, read from its flat table at the first scan that needs
  // them and kept: the file never changes. Two scans may both read them the first time; the
  // lock is held only to look up and keep.
  std::shared_ptr<const ComplexValues> ComplexValuesOf(std::uint32_t table,
                                                       const Column& column) const {
    const auto key = std::make_pair(table, column.number);
    {
      std::lock_guard<std::mutex> lock(complexLock_);
      const auto found = complex_.find(key);
      if (found != complex_.end()) return found->second;
    }
    std::shared_ptr<const ComplexValues> values = LoadComplexValues(file_, tables_, column);
    std::lock_guard<std::mutex> lock(complexLock_);
    return complex_.emplace(key, std::move(values)).first->second;
  }

  std::shared_ptr<const OpenFile> file_;
  std::vector<CatalogTable> tables_;
  // Row counts already taken, for this database only.
  mutable std::mutex countsMutex_;
  mutable std::map<std::uint64_t, std::uint64_t> counts_;
  mutable std::mutex complexLock_;
  mutable std::map<std::pair<std::uint32_t, std::uint16_t>, std::shared_ptr<const ComplexValues>>
      complex_;
};

std::unique_ptr<Database> OpenSource(std::unique_ptr<PageSource> source,
                                     const OpenOptions& options, std::string& error,
                                     OpenFailure& failure) {
  failure = OpenFailure::Unreadable;
  const std::uint64_t size = source->Size();
  FileHeader parsed;
  if (size < kFileHeaderBytes) {
    error = "the file is too short to be a database (" + std::to_string(size) + " bytes)";
    return nullptr;
  }
  // Page 0 whole, or as much of it as the file holds: the header, and the description of an
  // encryption after it.
  std::vector<std::uint8_t> page0(static_cast<std::size_t>(std::min<std::uint64_t>(size, kPageSize)));
  if (!source->ReadAt(0, page0.size(), page0.data())) {
    error = "the file's first page cannot be read";
    return nullptr;
  }
  if (!ParseFileHeader(page0.data(), page0.size(), parsed, error)) return nullptr;
  page0.resize(std::min(page0.size(), parsed.layout->pageSize));

  auto file = std::make_shared<OpenFile>();
  file->context.version = parsed.version;
  file->context.layout = parsed.layout;
  const std::uint64_t pages = size / parsed.layout->pageSize;
  if (pages > kMaxPages * (kPageSize / parsed.layout->pageSize)) {
    error = "the file is larger than a database can be (" + std::to_string(size) + " bytes)";
    return nullptr;
  }
  file->context.pageCount = static_cast<std::uint32_t>(pages);
  if (!parsed.layout->unicodeText) {
    file->codePage =
        CodePageText::Make(parsed.codePage != 0 ? parsed.codePage : kDefaultCodePage, error);
    if (file->codePage == nullptr) return nullptr;
    file->context.codePage = file->codePage.get();
  }
  Unlocked unlocked;
  if (!UnlockFile(parsed, page0.data(), page0.size(), file->codePage.get(), options.password,
                  unlocked, failure, error)) {
    return nullptr;
  }
  failure = OpenFailure::Unreadable;
  file->cipher = std::move(unlocked.cipher);
  file->context.cipher = file->cipher.get();
  file->source = std::move(source);
  file->context.source = file->source.get();

  std::vector<CatalogTable> tables;
  if (!ReadCatalog(file, tables, error)) return nullptr;
  auto database = std::make_unique<FileDatabase>(std::move(file), std::move(tables));
  database->codePage_ = parsed.codePage;
  database->encryption_ = unlocked.encryption;
  failure = OpenFailure::None;
  return database;
}

// Keeps the path a file was opened from, made absolute, so that what is found beside the file
// is found whatever the working folder becomes.
void RememberPath(Database* database, const std::string& path) {
  if (database == nullptr) return;
  std::error_code failed;
  std::filesystem::path absolute = std::filesystem::absolute(path, failed);
  static_cast<FileDatabase&>(*database).path_ = failed ? path : absolute.lexically_normal().string();
}

std::unique_ptr<Database> Opened(std::unique_ptr<Database> database, OpenFailure found,
                                 OpenFailure* failure) {
  if (failure != nullptr) *failure = found;
  return database;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, std::string& error) {
  return Open(path, OpenOptions{}, error);
}

std::unique_ptr<Database> Database::Open(const std::string& path, const OpenOptions& options,
                                         std::string& error, OpenFailure* failure) {
  std::unique_ptr<PageSource> source = OpenFilePages(path, error);
  if (source == nullptr) return Opened(nullptr, OpenFailure::Unreadable, failure);
  OpenFailure found = OpenFailure::None;
  auto database = OpenSource(std::move(source), options, error, found);
  RememberPath(database.get(), path);
  return Opened(std::move(database), found, failure);
}

std::unique_ptr<Database> Database::OpenDescriptor(int fd, const std::string& path,
                                                   const OpenOptions& options, std::string& error,
                                                   OpenFailure* failure) {
  std::unique_ptr<PageSource> source = DescriptorPages(fd, error);
  if (source == nullptr) return Opened(nullptr, OpenFailure::Unreadable, failure);
  OpenFailure found = OpenFailure::None;
  auto database = OpenSource(std::move(source), options, error, found);
  RememberPath(database.get(), path);
  return Opened(std::move(database), found, failure);
}

std::unique_ptr<Database> Database::OpenBytes(std::string bytes, std::string& error) {
  return OpenBytes(std::move(bytes), OpenOptions{}, error);
}

std::unique_ptr<Database> Database::OpenBytes(std::string bytes, const OpenOptions& options,
                                              std::string& error, OpenFailure* failure) {
  OpenFailure found = OpenFailure::None;
  auto database = OpenSource(MemoryPages(std::move(bytes)), options, error, found);
  return Opened(std::move(database), found, failure);
}

}  // namespace jet
