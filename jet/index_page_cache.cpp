#include "index_page_cache.h"

#include <list>
#include <unordered_map>

#include "index_page.h"

namespace jet {

struct IndexPageCache::Kept {
  std::size_t capacity;
  std::list<std::shared_ptr<const IndexPage>> order;  // most recently used first
  std::unordered_map<std::uint32_t, std::list<std::shared_ptr<const IndexPage>>::iterator> byNumber;
};

IndexPageCache::IndexPageCache(std::size_t pages) : kept_(std::make_unique<Kept>()) {
  kept_->capacity = pages == 0 ? 1 : pages;
}

IndexPageCache::~IndexPageCache() = default;

std::shared_ptr<const IndexPage> IndexPageCache::Find(std::uint32_t number) {
  const auto found = kept_->byNumber.find(number);
  if (found == kept_->byNumber.end()) return nullptr;
  kept_->order.splice(kept_->order.begin(), kept_->order, found->second);
  return *found->second;
}

void IndexPageCache::Keep(std::shared_ptr<const IndexPage> page) {
  const std::uint32_t number = page->number();
  const auto found = kept_->byNumber.find(number);
  if (found != kept_->byNumber.end()) {
    kept_->order.erase(found->second);
    kept_->byNumber.erase(found);
  }
  kept_->order.push_front(std::move(page));
  kept_->byNumber[number] = kept_->order.begin();
  while (kept_->order.size() > kept_->capacity) {
    kept_->byNumber.erase(kept_->order.back()->number());
    kept_->order.pop_back();
  }
}

}  // namespace jet
