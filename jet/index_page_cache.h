// Index pages kept read and checked between index walks, for callers that walk one table's
// indexes many times (a join looking up each row of another table): the upper levels of a tree
// and the leaves met last are then read once. Owned by one caller and used by one thread at a
// time; a Database never changes, so the pages kept never go stale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace jet {

class IndexPage;

class IndexPageCache {
 public:
  // Keeps up to `pages` pages, dropping the least recently used.
  explicit IndexPageCache(std::size_t pages = 64);
  ~IndexPageCache();
  IndexPageCache(const IndexPageCache&) = delete;
  IndexPageCache& operator=(const IndexPageCache&) = delete;

  // The page kept for `number`, or null.
  std::shared_ptr<const IndexPage> Find(std::uint32_t number);
  void Keep(std::shared_ptr<const IndexPage> page);

 private:
  struct Kept;
  std::unique_ptr<Kept> kept_;
};

}  // namespace jet
