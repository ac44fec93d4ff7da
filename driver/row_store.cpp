#include "row_store.h"

#include <cstring>

namespace mdbodbc {
namespace {

// The first block is small enough to come from the heap: a cursor that keeps a few rows costs no
// mapping of its own. Blocks grow to a megabyte as rows come.
constexpr std::size_t kFirstBlockSize = 1 << 16;
constexpr std::size_t kBlockSize = 1 << 20;

// Lengths and integers as variable-length numbers: 7 bits a byte, the high bit for "more".
void PutNumber(std::string& out, std::uint64_t value) {
  while (value >= 0x80) {
    out += static_cast<char>((value & 0x7F) | 0x80);
    value >>= 7;
  }
  out += static_cast<char>(value);
}

std::uint64_t GetNumber(const char*& at) {
  std::uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    auto byte = static_cast<unsigned char>(*at++);
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return value;
  }
}

}  // namespace

void RowStore::Append(const sql::Row& row) {
  std::string encoded;
  PutNumber(encoded, row.size());
  for (const sql::Cell& cell : row) {
    encoded += static_cast<char>(cell.kind);
    switch (cell.kind) {
      case sql::Cell::Kind::Null: break;
      case sql::Cell::Kind::Integer:
      case sql::Cell::Kind::Currency:
      case sql::Cell::Kind::Timestamp: {
        // Zigzag, so that small negative numbers stay short.
        auto u = static_cast<std::uint64_t>(cell.integer);
        PutNumber(encoded, (u << 1) ^ (cell.integer < 0 ? ~std::uint64_t{0} : 0));
        break;
      }
      case sql::Cell::Kind::Real:
      case sql::Cell::Kind::DateTime:
        encoded.append(reinterpret_cast<const char*>(&cell.real), sizeof cell.real);
        break;
      case sql::Cell::Kind::Text:
      case sql::Cell::Kind::Blob:
      case sql::Cell::Kind::Decimal:
        PutNumber(encoded, cell.bytes.size());
        encoded += cell.bytes;
        break;
    }
  }
  if (blocks_.empty() || blocks_.back().capacity - blocks_.back().used < encoded.size()) {
    Block block;
    const std::size_t size = blocks_.empty() ? kFirstBlockSize : std::min(blocks_.back().capacity * 2, kBlockSize);
    block.capacity = std::max(size, encoded.size());
    // Left uninitialised: only the bytes written are ever read, and a fresh block costs no
    // page until rows reach it.
    block.bytes = std::make_unique_for_overwrite<char[]>(block.capacity);
    blocks_.push_back(std::move(block));
  }
  Block& block = blocks_.back();
  std::memcpy(block.bytes.get() + block.used, encoded.data(), encoded.size());
  starts_.push_back((static_cast<std::uint64_t>(blocks_.size() - 1) << 32) | block.used);
  block.used += encoded.size();
}

void RowStore::Read(std::size_t index, sql::Row& row) const {
  std::uint64_t start = starts_.at(index);
  const char* at = blocks_[start >> 32].bytes.get() + (start & 0xFFFFFFFFu);
  row.resize(GetNumber(at));
  for (sql::Cell& cell : row) {
    cell.kind = static_cast<sql::Cell::Kind>(*at++);
    switch (cell.kind) {
      case sql::Cell::Kind::Null: break;
      case sql::Cell::Kind::Integer:
      case sql::Cell::Kind::Currency:
      case sql::Cell::Kind::Timestamp: {
        std::uint64_t z = GetNumber(at);
        cell.integer = static_cast<std::int64_t>((z >> 1) ^ (~(z & 1) + 1));
        break;
      }
      case sql::Cell::Kind::Real:
      case sql::Cell::Kind::DateTime:
        std::memcpy(&cell.real, at, sizeof cell.real);
        at += sizeof cell.real;
        break;
      case sql::Cell::Kind::Text:
      case sql::Cell::Kind::Blob:
      case sql::Cell::Kind::Decimal: {
        std::size_t length = GetNumber(at);
        cell.bytes.assign(at, length);
        at += length;
        break;
      }
    }
  }
}

void RowStore::Clear() {
  blocks_.clear();
  starts_.clear();
}

}  // namespace mdbodbc
