#pragma once

#include <cstddef>
#include <functional>
#include <list>
#include <unordered_map>
#include <utility>

namespace kavro::toolkit {

// A bounded map that forgets the least recently used entry when it is full. Values are
// destroyed when evicted, so it can own C resources held in unique_ptrs.
template <class Key, class Value, class Hash = std::hash<Key>>
class LruCache {
  public:
    explicit LruCache(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

    // The cached value, marked as most recently used; nullptr on a miss.
    Value* Find(const Key& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return nullptr;
        order_.splice(order_.begin(), order_, it->second);
        return &it->second->second;
    }

    // Stores (or replaces) the value and returns it; evicts the oldest entries beyond capacity.
    Value& Put(const Key& key, Value value) {
        auto it = index_.find(key);
        if (it != index_.end()) {
            it->second->second = std::move(value);
            order_.splice(order_.begin(), order_, it->second);
            return it->second->second;
        }
        order_.emplace_front(key, std::move(value));
        index_.emplace(order_.front().first, order_.begin());
        while (order_.size() > capacity_)
            EvictOldest();
        return order_.front().second;
    }

    void Erase(const Key& key) {
        auto it = index_.find(key);
        if (it == index_.end()) return;
        order_.erase(it->second);
        index_.erase(it);
    }

    void EvictOldest() {
        if (order_.empty()) return;
        index_.erase(order_.back().first);
        order_.pop_back();
    }

    // The least recently used value, or nullptr when empty.
    const Value* Oldest() const { return order_.empty() ? nullptr : &order_.back().second; }

    std::size_t Size() const { return order_.size(); }
    std::size_t Capacity() const { return capacity_; }
    void Clear() {
        index_.clear();
        order_.clear();
    }

  private:
    using Entry = std::pair<Key, Value>;
    std::size_t capacity_;
    std::list<Entry> order_;
    std::unordered_map<Key, typename std::list<Entry>::iterator, Hash> index_;
};

}  // namespace kavro::toolkit
