#include "index_scan.h"

#include "definition_reader.h"
#include "index_key.h"
#include "row_count.h"
#include "text_decoding.h"

namespace jet {

IndexScan::IndexScan(std::shared_ptr<const OpenFile> file, const TableDefinition& table,
                     std::size_t index, const KeyRange& range, bool descending,
                     IndexPageCache* cache,
                     std::vector<std::shared_ptr<const ComplexValues>> complex)
    : file_(std::move(file)),
      context_(file_->context),
      rows_(file_, table, std::move(complex)),
      table_(rows_.definition()),
      index_(index),
      range_(range),
      descending_(descending),
      cache_(cache) {
  prefix_ = "table " + Quoted(table_.name) + ": ";
  if (index_ < table_.indexes.size()) {
    prefix_ += "index " + Quoted(table_.indexes[index_].name) + ": ";
  }
}

bool IndexScan::Fail(const std::string& why) {
  error_ = prefix_ + why;
  done_ = true;
  return false;
}

std::shared_ptr<const IndexPage> IndexScan::Load(std::uint32_t number) {
  if (cache_ != nullptr) {
    std::shared_ptr<const IndexPage> kept = cache_->Find(number);
    if (kept != nullptr && kept->tablePage() == table_.definitionPage) return kept;
  }
  auto page = std::make_shared<IndexPage>();
  std::string why;
  if (!page->Read(context_, number, table_.definitionPage, why)) {
    Fail(why);
    return nullptr;
  }
  if (cache_ != nullptr) cache_->Keep(page);
  return page;
}

bool IndexScan::InRange(std::size_t at) const {
  // Walking forwards, the high bound ends the walk; backwards, the low one.
  const std::optional<KeyBound>& bound = descending_ ? range_.low : range_.high;
  if (!bound) return true;
  const int order = leaf_->CompareKey(at, bound->key);
  if (descending_) return bound->inclusive ? order >= 0 : order > 0;
  return bound->inclusive ? order <= 0 : order < 0;
}

bool IndexScan::Descend() {
  if (index_ >= table_.indexes.size()) {
    return Fail("no index " + std::to_string(index_) + " (the table has " +
                std::to_string(table_.indexes.size()) + ")");
  }
  // Forwards, the walk starts at the first entry at or past the low bound; backwards, at the
  // last entry at or before the high bound. A node entry is the last entry below it, so the
  // subtree to take is the first whose last entry reaches the start (forwards) or passes it
  // (backwards); past every entry lies the tail.
  // Bounds on text need Access's text keys, known for Jet 4 files only.
  if ((range_.low || range_.high) && context_.version != Version::Jet4) {
    for (const IndexKey& key : table_.indexes[index_].keys) {
      if (table_.columns.at(key.column).type == ColumnType::Text) {
        return Fail("its text keys are not known for files of this version: walk it whole");
      }
    }
  }
  const std::optional<KeyBound>& bound = descending_ ? range_.high : range_.low;
  const auto reaches = [&](const IndexPage& page, std::size_t at) {
    if (!bound) return !descending_;
    const int order = page.CompareKey(at, bound->key);
    if (descending_) return bound->inclusive ? order > 0 : order >= 0;
    return bound->inclusive ? order >= 0 : order > 0;
  };
  std::uint32_t page = table_.indexes[index_].firstPage;
  for (int level = 0; level < kMaxIndexLevels; ++level) {
    std::shared_ptr<const IndexPage> loaded = Load(page);
    if (loaded == nullptr) return false;
    const IndexPage& current = *loaded;
    if (current.leaf()) {
      leaf_ = std::move(loaded);
      ++leaves_;
      // The first entry that reaches the start: entries ascend, so a binary search finds it.
      std::size_t first = 0, last = leaf_->size();
      while (first < last) {
        const std::size_t middle = first + (last - first) / 2;
        if (reaches(*leaf_, middle)) {
          last = middle;
        } else {
          first = middle + 1;
        }
      }
      // Forwards: the first entry that reaches the start; backwards: the one before it.
      position_ = descending_ ? static_cast<std::ptrdiff_t>(first) - 1
                              : static_cast<std::ptrdiff_t>(first);
      return true;
    }
    std::size_t i = 0, end = current.size();
    while (i < end) {
      const std::size_t middle = i + (end - i) / 2;
      if (reaches(current, middle)) {
        end = middle;
      } else {
        i = middle + 1;
      }
    }
    if (i < current.size()) {
      page = current.Child(i);
    } else if (current.tail() != 0) {
      page = current.tail();
    } else if (current.size() > 0) {
      page = current.Child(current.size() - 1);  // no tail: the leaves go on from the last
    } else {
      return Fail("index page " + std::to_string(current.number()) +
                  " is a node page with no entries and no tail");
    }
  }
  return Fail("the tree goes deeper than " + std::to_string(kMaxIndexLevels) + " levels");
}

bool IndexScan::NextLeaf() {
  const std::uint32_t from = leaf_->number();
  const std::uint32_t page = descending_ ? leaf_->previous() : leaf_->next();
  if (page == 0) return false;
  if (leaves_ >= context_.pageCount) return Fail("its leaves loop");
  std::shared_ptr<const IndexPage> loaded = Load(page);
  if (loaded == nullptr) return false;
  if (!loaded->leaf()) {
    return Fail("leaf page " + std::to_string(from) + " is followed by node page " +
                std::to_string(page));
  }
  leaf_ = std::move(loaded);
  ++leaves_;
  position_ = descending_ ? static_cast<std::ptrdiff_t>(leaf_->size()) - 1 : 0;
  return true;
}

bool IndexScan::Step() {
  if (!started_) {
    started_ = true;
    if (!Descend()) return false;
  } else {
    position_ += descending_ ? -1 : 1;
  }
  while (position_ < 0 || static_cast<std::size_t>(position_) >= leaf_->size()) {
    if (!NextLeaf()) return false;
  }
  leaf_->Entry(static_cast<std::size_t>(position_), entry_);
  // Entries sort by all their bytes, from leaf to leaf too: one out of order means the leaves
  // or their links are broken (and a loop would meet an entry again).
  if (met_ > 0 && (descending_ ? !(last_ > entry_) : !(last_ < entry_))) {
    return Fail("index page " + std::to_string(leaf_->number()) +
                " holds an entry out of order");
  }
  std::swap(last_, entry_);
  ++met_;
  return true;
}

bool IndexScan::CheckRow() {
  const Index& index = table_.indexes[index_];
  key_.clear();
  for (const IndexKey& part : index.keys) {
    const Column& column = table_.columns.at(part.column);
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    bool yes = false;
    std::string why;
    switch (rows_.Field(part.column, data, size, yes, why)) {
      case TableScan::FieldState::Unreadable:
        return Fail(RowPointerText(static_cast<std::uint32_t>(rows_.RowId())) + ", column " +
                    Quoted(column.name) + ": " + why);
      case TableScan::FieldState::Null:
        if (column.type == ColumnType::Bool) return true;  // no key form to compare
        AppendNullKey(part.ascending, key_);
        continue;
      case TableScan::FieldState::Present:
        break;
    }
    if (column.type == ColumnType::Bool) {
      AppendBoolKey(yes, part.ascending, key_);
    } else if (column.type == ColumnType::Text) {
      // Only Jet 4 text keys of the General sort order are known, and only for the
      // characters TextKeyCode knows.
      if (!context_.layout->unicodeText || column.sortOrder != kSortOrderGeneral) return true;
      text_.clear();
      if (!AppendJet4Text(data, size, text_)) return true;  // the row read reports it
      if (!AppendUtf8TextKey(text_, part.ascending, key_)) return true;
    } else {
      if (size < FixedValueSize(column.type, 0) || !KeyType(column.type)) return true;
      AppendStoredKey(column.type, data, part.ascending, key_);
    }
  }
  leaf_->Key(static_cast<std::size_t>(position_), entry_);
  if (key_ != entry_) {
    return Fail("the entry for " + RowPointerText(static_cast<std::uint32_t>(rows_.RowId())) +
                " on index page " + std::to_string(leaf_->number()) +
                " does not hold the row's key");
  }
  return true;
}

bool IndexScan::MoveTo(std::int64_t rowId) {
  done_ = true;
  if (rows_.MoveTo(rowId)) return true;
  error_ = rows_.Error();
  return false;
}

bool IndexScan::Next() {
  if (done_) return false;
  if (!Step()) {
    done_ = true;
    if (!error_.empty()) return false;
    // A walk over the whole index meets every row of the table once.
    if (!range_.low && !range_.high) {
      std::uint64_t count = 0;
      std::string why;
      if (!CountTableRows(context_, table_, count, why)) return Fail(why);
      if (count != met_) {
        return Fail("it holds " + std::to_string(met_) + " entries for the table's " +
                    std::to_string(count) + " rows");
      }
    }
    return false;
  }
  const auto at = static_cast<std::size_t>(position_);
  if (!InRange(at)) {
    done_ = true;
    return false;
  }
  const std::uint32_t pointer = leaf_->RowPointer(at);
  if (!rows_.MoveTo(pointer)) {
    return Fail("index page " + std::to_string(leaf_->number()) + " leads to " +
                RowPointerText(pointer) + ": " + rows_.Error());
  }
  return CheckRow();
}

}  // namespace jet
