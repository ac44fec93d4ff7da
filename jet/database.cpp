#include "database.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "case_fold.h"
#include "catalog.h"
#include "complex_values.h"
#include "definition_reader.h"
#include "file_context.h"
#include "file_header.h"
#include "table_scan.h"

namespace jet {
namespace {

class FileDatabase : public Database {
 public:
  FileDatabase(std::shared_ptr<const OpenFile> file, std::vector<CatalogTable> tables)
      : file_(std::move(file)), tables_(std::move(tables)) {}

  Version FileVersion() const override { return file_->context.version; }
  int CodePage() const override { return codePage_; }
  std::uint32_t PageCount() const override { return file_->context.pageCount; }
  const std::vector<CatalogTable>& Tables() const override { return tables_; }

  bool ReadDefinition(std::string_view name, TableDefinition& out,
                      std::string& error) const override {
    for (const CatalogTable& table : tables_) {
      if (!EqualFolded(table.name, name)) continue;
      if (table.linked) {
        error = "table " + Quoted(table.name) +
                " is a link to a table in another database, which is not read here";
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

  std::unique_ptr<Scan> StartScan(const TableDefinition& table) const override {
    std::vector<std::shared_ptr<const ComplexValues>> complex;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
      if (table.columns[i].type != ColumnType::Complex) continue;
      complex.resize(table.columns.size());
      complex[i] = ComplexValuesOf(table.definitionPage, table.columns[i]);
    }
    return std::make_unique<TableScan>(file_, table, std::move(complex));
  }

  int codePage_ = 0;

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
  mutable std::mutex complexLock_;
  mutable std::map<std::pair<std::uint32_t, std::uint16_t>, std::shared_ptr<const ComplexValues>>
      complex_;
};

std::unique_ptr<Database> OpenSource(std::unique_ptr<PageSource> source, std::string& error) {
  std::uint8_t header[kFileHeaderBytes];
  const std::uint64_t size = source->Size();
  FileHeader parsed;
  if (size < kFileHeaderBytes) {
    error = "the file is too short to be a database (" + std::to_string(size) + " bytes)";
    return nullptr;
  }
  if (!source->ReadAt(0, kFileHeaderBytes, header)) {
    error = "the file's first page cannot be read";
    return nullptr;
  }
  if (!ParseFileHeader(header, kFileHeaderBytes, parsed, error)) return nullptr;

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
  file->source = std::move(source);
  file->context.source = file->source.get();

  std::vector<CatalogTable> tables;
  if (!ReadCatalog(file, tables, error)) return nullptr;
  auto database = std::make_unique<FileDatabase>(std::move(file), std::move(tables));
  database->codePage_ = parsed.codePage;
  return database;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, std::string& error) {
  std::unique_ptr<PageSource> source = OpenFilePages(path, error);
  if (source == nullptr) return nullptr;
  return OpenSource(std::move(source), error);
}

std::unique_ptr<Database> Database::OpenDescriptor(int fd, std::string& error) {
  std::unique_ptr<PageSource> source = DescriptorPages(fd, error);
  if (source == nullptr) return nullptr;
  return OpenSource(std::move(source), error);
}

std::unique_ptr<Database> Database::OpenBytes(std::string bytes, std::string& error) {
  return OpenSource(MemoryPages(std::move(bytes)), error);
}

}  // namespace jet
