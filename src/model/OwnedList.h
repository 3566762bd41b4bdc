// An ordered list that owns its items. Extract hands an item out (to move it into
// another list); FreeAndDelete destroys it. Indexes outside 0..Count-1 throw.
#pragma once

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace model {

[[noreturn]] inline void ListIndexError(long long index) {
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
}

template <class T> class TOwnedList {
  public:
    TOwnedList() = default;
    TOwnedList(const TOwnedList &) = delete;
    TOwnedList &operator=(const TOwnedList &) = delete;
    virtual ~TOwnedList() { FreeAll(); }

    int Count() const { return static_cast<int>(items_.size()); }
    bool Empty() const { return items_.empty(); }

    T *Get(int index) const {
        CheckIndex(index);
        return items_[static_cast<std::size_t>(index)].get();
    }
    T *operator[](int index) const { return Get(index); }
    T *First() const { return Get(0); }
    T *Last() const { return Get(Count() - 1); }

    T *Add(std::unique_ptr<T> item) {
        items_.push_back(std::move(item));
        return items_.back().get();
    }
    T *Insert(int index, std::unique_ptr<T> item) {
        if (index < 0 || index > Count())
            ListIndexError(index);
        return items_.insert(items_.begin() + index, std::move(item))->get();
    }
    std::unique_ptr<T> Extract(int index) {
        CheckIndex(index);
        std::unique_ptr<T> item = std::move(items_[static_cast<std::size_t>(index)]);
        items_.erase(items_.begin() + index);
        return item;
    }
    std::vector<std::unique_ptr<T>> ExtractAll() { return std::exchange(items_, {}); }
    void FreeAndDelete(int index) { Extract(index).reset(); }
    // Releases every item, from the last to the first.
    void FreeAll() {
        while (!items_.empty())
            items_.pop_back();
    }
    int IndexOf(const T *item) const {
        for (std::size_t i = 0; i < items_.size(); ++i)
            if (items_[i].get() == item)
                return static_cast<int>(i);
        return -1;
    }
    template <class Less> void Sort(Less less) {
        std::stable_sort(
            items_.begin(), items_.end(),
            [&](const std::unique_ptr<T> &a, const std::unique_ptr<T> &b) { return less(*a, *b); });
    }
    void Reserve(std::size_t n) { items_.reserve(n); }

    const std::vector<std::unique_ptr<T>> &Items() const { return items_; }

  protected:
    void CheckIndex(int index) const {
        if (index < 0 || index >= Count())
            ListIndexError(index);
    }

  private:
    std::vector<std::unique_ptr<T>> items_;
};

} // namespace model
