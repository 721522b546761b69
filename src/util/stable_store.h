// TStableStore: objects that keep their address for the store's life, allocated in blocks and freed
// together. The reference tables keep their records in one, so loading a large table costs one
// allocation per block instead of one per record. Not thread-safe.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

namespace kdp {

template <class T>
class TStableStore {
 public:
  explicit TStableStore(std::size_t blockSize = 256) : blockSize_(blockSize == 0 ? 1 : blockSize) {}
  TStableStore(const TStableStore&) = delete;
  TStableStore& operator=(const TStableStore&) = delete;

  // Constructs an object in place; its address stays valid until Clear or destruction.
  template <class... Args>
  T& Emplace(Args&&... args) {
    // A block is never filled beyond its reserved capacity, so it never moves its objects.
    if (blocks_.empty() || blocks_.back().size() == blocks_.back().capacity()) {
      blocks_.emplace_back().reserve(blockSize_);
    }
    ++size_;
    return blocks_.back().emplace_back(std::forward<Args>(args)...);
  }

  void Clear() {
    blocks_.clear();
    size_ = 0;
  }
  std::size_t Size() const { return size_; }

 private:
  std::size_t blockSize_;
  std::size_t size_ = 0;
  std::vector<std::vector<T>> blocks_;
};

}  // namespace kdp
