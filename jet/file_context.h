// What every part of the reader needs to know about the open file: its layout, its pages and
// how its Jet 3 text is encoded. Never changes after the file is opened.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "database.h"
#include "format.h"
#include "page_cipher.h"
#include "page_source.h"
#include "text_decoding.h"

namespace jet {

struct FileContext {
  Version version = Version::Jet4;
  const FileLayout* layout = &kJet4Layout;
  const PageSource* source = nullptr;
  std::uint32_t pageCount = 0;
  const CodePageText* codePage = nullptr;  // Jet 3 only
  const PageCipher* cipher = nullptr;      // encoded or encrypted files only

  std::size_t PageSize() const { return layout->pageSize; }
  // Reads page `page` into `into` (PageSize() bytes), deciphered when the file's pages are
  // enciphered. False with `error` set when the page is past the end of the file or cannot be
  // read.
  bool ReadPage(std::uint32_t page, std::uint8_t* into, std::string& error) const;
  // Appends the UTF-8 form of stored text (names and values) to `out`; false when the bytes
  // cannot be text of this file.
  bool AppendText(const std::uint8_t* data, std::size_t size, std::string& out) const;
};

// The open file behind a database and its scans: a scan keeps it alive on its own.
struct OpenFile {
  FileContext context;
  std::unique_ptr<PageSource> source;
  std::unique_ptr<CodePageText> codePage;
  std::unique_ptr<PageCipher> cipher;
};

// A page-sized buffer that remembers which page it holds.
struct PageBuffer {
  std::vector<std::uint8_t> bytes;
  std::uint32_t page = 0;
  bool loaded = false;

  explicit PageBuffer(std::size_t size = 0) : bytes(size) {}
  const std::uint8_t* data() const { return bytes.data(); }
  // Loads `page` unless already held.
  bool Load(const FileContext& file, std::uint32_t number, std::string& error);
};

// A row pointer as text: "page 7 row 3".
std::string RowPointerText(std::uint32_t pointer);
// A name in double quotes, for messages.
std::string Quoted(std::string_view name);

}  // namespace jet
