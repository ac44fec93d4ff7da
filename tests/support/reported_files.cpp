#include "reported_files.h"

#include <cstring>

#include "jet/format.h"
#include "mdb_writer.h"
#include "tests/support/file_edit.h"
#include "tests/support/temp_folder.h"

namespace testsupport {
namespace {

using mkmdb::ColumnType;

std::string Written(const mkmdb::TableSpec& table) {
  const TempFolder folder("reported-file");
  mkmdb::WriteDatabase(folder.Path("avion.mdb"), {table});
  return ReadFile(folder.Path("avion.mdb"));
}

// The one-row brand table most reports started from.
FileEdit OneRow() {
  return FileEdit(Written({"avion", {{"marque", ColumnType::Text, 50}}, {{"Airbus"}}}));
}

// A chained memo of 20,000 characters: the file takes 68 KB, like the one users reported.
// Declares `length` bytes for it and makes its first chain row, `link`, point to itself.
FileEdit LoopedMemo(std::uint32_t length, std::uint32_t& link) {
  std::string memo;
  for (int i = 0; i < 20000; ++i) memo.push_back("abc 1z"[i % 6]);
  FileEdit edit(Written({"avion", {{"id", ColumnType::Long}, {"marque", ColumnType::Memo}},
                         {{"1", memo}}}));
  std::size_t size = 0;
  std::uint8_t* field = edit.VariableValue("avion", 0, 1, size);
  link = jet::GetU32(field + jet::kLongValuePointerOffset);
  jet::PutU32(field, length);  // the kind bits 0: a chain
  std::size_t linkSize = 0;
  jet::PutU32(edit.RowBytes(link, linkSize), link);
  return edit;
}

std::string Text(std::uint32_t number) { return std::to_string(number); }

}  // namespace

std::vector<ReportedFile> ReportedFiles() {
  constexpr std::size_t kUsageMap = jet::kJet4Layout.defUsageMap;
  const std::string avion = "table \"avion\": ";
  std::vector<ReportedFile> files;
  {
    // The catalog's usage map pointer (4 bytes at offset 8247) names a row its page lacks.
    FileEdit e = OneRow();
    const std::uint32_t map = e.U32(jet::kCatalogDefinitionPage * e.PageSize() + kUsageMap);
    const std::uint32_t rows = jet::GetU16(e.Page(map >> 8) + jet::kJet4Layout.dataRowCount);
    e.PutU32(jet::kCatalogDefinitionPage * e.PageSize() + kUsageMap, jet::PageRow(map >> 8, 200));
    files.push_back({"catalog usage map names a missing row (offset 8247)", e.bytes(),
                     "open: the catalog is broken: table \"MSysObjects\": its usage map at page " +
                         Text(map >> 8) + " row 200: data page " + Text(map >> 8) +
                         " row 200 does not exist (the page has " + Text(rows) + " rows)",
                     "the catalog is broken"});
  }
  {
    // A catalog row whose Flags is Null, which reads as no flags.
    FileEdit e = OneRow();
    const std::uint32_t pointer =
        e.RowPointer("MSysObjects", e.RowWithText("MSysObjects", "Name", "avion"));
    std::size_t size = 0;
    std::uint8_t* row = e.RowBytes(pointer, size);
    const std::size_t flags = e.ColumnNamed("MSysObjects", "Flags");
    row[size - (jet::GetU16(row) + 7u) / 8 + flags / 8] &=
        static_cast<std::uint8_t>(~(1u << (flags % 8)));
    files.push_back({"catalog row whose Flags is Null", e.bytes(), "text:Airbus", "Airbus"});
  }
  {
    FileEdit e = OneRow();
    const std::uint32_t definition = e.DefinitionPage("avion");
    e.SwapPages(definition, e.DataPage("avion"));
    files.push_back({"table definition and data pages swapped", e.bytes(),
                     "definition error: " + avion + "page " + Text(definition) +
                         " is not a table definition page (type 0x01)",
                     "is not a table definition page"});
  }
  {
    FileEdit e = OneRow();
    const std::uint32_t catalog = e.DataPage("MSysObjects");
    const std::uint32_t definition = e.DefinitionPage("avion");
    e.SwapPages(catalog, e.DataPage("avion"));
    files.push_back({"catalog rows and table rows swapped", e.bytes(),
                     "open: the catalog is broken: table \"MSysObjects\": its usage map lists data "
                     "page " + Text(catalog) + ", which belongs to the table defined on page " +
                         Text(definition),
                     "the catalog is broken"});
  }
  {
    FileEdit e = OneRow();
    const std::uint32_t pointer = e.RowPointer("avion", 0);
    jet::PutU16(e.RowEntry(pointer),
                static_cast<std::uint16_t>((e.PageSize() - 3) | jet::kRowOverflow));
    files.push_back({"moved row too short to hold where it went", e.bytes(),
                     "scan error: " + avion + "data page " + Text(pointer >> 8) +
                         " row 0 is moved, but too short to say where (3 bytes)",
                     "too short to say where"});
  }
  {
    // Past the one logical index (28 bytes, before its name) only zeros, which read as indexes
    // of the first index data: the count alone runs past the page.
    mkmdb::TableSpec keyed{"avion", {{"marque", ColumnType::Text, 50}}, {{"Airbus"}}};
    keyed.indexes = {{"PrimaryKey", {{"marque"}}, true, true}};
    FileEdit e(Written(keyed));
    std::uint8_t* page = e.Page(e.DefinitionPage("avion"));
    const std::string name("\x14\0P\0r\0i\0m\0a\0r\0y\0K\0e\0y\0", 22);
    const std::size_t at =
        std::string_view(reinterpret_cast<char*>(page), e.PageSize()).find(name) - 28;
    std::memset(page + at + 28, 0, e.PageSize() - at - 28);
    jet::PutU32(page + jet::kJet4Layout.defLogicalIndexCount, 200);
    files.push_back({"index count running past the definition's end", e.bytes(),
                     "definition error: " + avion + "the definition ends inside its index "
                     "definitions",
                     "the definition ends inside its index definitions"});
  }
  {
    std::uint32_t link = 0;
    const FileEdit e = LoopedMemo(0x3FFFFFFF, link);
    files.push_back({"memo of 0x3FFFFFFF bytes whose chain points to itself", e.bytes(),
                     "error/damaged:" + avion + "column \"marque\": memo declares 1073741823 "
                     "bytes, more than the whole file (" + Text(e.bytes().size()) + " bytes)",
                     "memo declares 1073741823 bytes"});
  }
  {
    std::uint32_t link = 0;
    const FileEdit e = LoopedMemo(60000, link);
    files.push_back({"memo chain pointing to itself", e.bytes(),
                     "error/damaged:" + avion + "column \"marque\": memo chain loops at page " +
                         Text(link >> 8) + " row " + Text(link & 0xFF),
                     "memo chain loops"});
  }
  return files;
}

}  // namespace testsupport
