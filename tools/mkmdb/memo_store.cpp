#include "memo_store.h"

#include <algorithm>
#include <cassert>

namespace mkmdb {
namespace {

constexpr std::uint8_t kInline = 0x80;
constexpr std::uint8_t kSingleRow = 0x40;
constexpr std::uint8_t kChain = 0x00;

void PutHeader(std::vector<std::uint8_t>& field, std::size_t length, std::uint8_t kind,
               std::uint32_t pointer) {
  field.assign(kMemoHeaderSize, 0);
  jet::PutU24(field.data(), static_cast<std::uint32_t>(length));
  field[3] = kind;
  jet::PutU32(field.data() + 4, pointer);
}

}  // namespace

MemoStore::MemoStore(PageFile& file) : file_(file) {}

std::uint32_t MemoStore::AddRow(std::span<const std::uint8_t> row) {
  if (pages_.empty() || !page_.HasRoomFor(row.size())) {
    if (!pages_.empty()) {
      file_.Write(page_number_, page_.Finish());
      page_.Clear();
    }
    page_number_ = file_.Allocate();
    pages_.push_back(page_number_);
  }
  return jet::PageRow(page_number_, page_.Add(row));
}

void MemoStore::Store(std::span<const std::uint8_t> stored, std::vector<std::uint8_t>& field) {
  assert(stored.size() <= kMemoMaxStoredSize);
  if (stored.size() <= kMemoInlineLimit) {
    PutHeader(field, stored.size(), kInline, 0);
    field.insert(field.end(), stored.begin(), stored.end());
    return;
  }
  StoreApart(stored, field);
}

void MemoStore::StoreApart(std::span<const std::uint8_t> stored,
                           std::vector<std::uint8_t>& field) {
  assert(stored.size() <= kMemoMaxStoredSize);
  if (stored.size() <= kMemoSingleRowLimit) {
    PutHeader(field, stored.size(), kSingleRow, AddRow(stored));
    return;
  }
  // A chain: each row names the next, so the rows are placed from the last chunk backwards.
  const std::size_t chunks = (stored.size() + kMemoChunkSize - 1) / kMemoChunkSize;
  std::uint32_t next = 0;
  for (std::size_t i = chunks; i-- > 0;) {
    const std::size_t begin = i * kMemoChunkSize;
    const std::size_t size = std::min(kMemoChunkSize, stored.size() - begin);
    chunk_.resize(4);
    jet::PutU32(chunk_.data(), next);
    chunk_.insert(chunk_.end(), stored.begin() + static_cast<std::ptrdiff_t>(begin),
                  stored.begin() + static_cast<std::ptrdiff_t>(begin + size));
    next = AddRow(chunk_);
  }
  PutHeader(field, stored.size(), kChain, next);
}

void MemoStore::Finish() {
  if (!pages_.empty() && !page_.empty()) file_.Write(page_number_, page_.Finish());
}

}  // namespace mkmdb
