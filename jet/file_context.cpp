#include "file_context.h"

namespace jet {

bool FileContext::ReadPage(std::uint32_t page, std::uint8_t* into, std::string& error) const {
  if (page >= pageCount) {
    error = "page " + std::to_string(page) + " is past the end of the file (" +
            std::to_string(pageCount) + " pages)";
    return false;
  }
  const std::size_t size = PageSize();
  if (!source->ReadAt(static_cast<std::uint64_t>(page) * size, size, into)) {
    error = "page " + std::to_string(page) + " cannot be read";
    return false;
  }
  // Page 0, the header, is never enciphered.
  if (cipher != nullptr && page != 0) return cipher->Decrypt(page, std::span(into, size), error);
  return true;
}

bool FileContext::AppendText(const std::uint8_t* data, std::size_t size, std::string& out) const {
  if (layout->unicodeText) return AppendJet4Text(data, size, out);
  codePage->Append(data, size, out);
  return true;
}

bool PageBuffer::Load(const FileContext& file, std::uint32_t number, std::string& error) {
  if (loaded && page == number) return true;
  bytes.resize(file.PageSize());
  loaded = false;
  if (!file.ReadPage(number, bytes.data(), error)) return false;
  page = number;
  loaded = true;
  return true;
}

std::string RowPointerText(std::uint32_t pointer) {
  return "page " + std::to_string(pointer >> 8) + " row " + std::to_string(pointer & 0xFF);
}

std::string Quoted(std::string_view name) {
  std::string out = "\"";
  out.append(name);
  out.push_back('"');
  return out;
}

}  // namespace jet
