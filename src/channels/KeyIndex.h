#pragma once
// Records by their keys, owned: one array of pointers with open addressing (linear probing,
// deletion by shifting back, so no tombstones). The key is the record's own `key` member and
// must not change while the record is in. A node-based map spends about 64 bytes per record
// on its node; this spends 11 to 21 (one pointer per slot, at most three quarters full).
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

template <typename Record>
class KeyIndex {
 public:
  KeyIndex() = default;
  ~KeyIndex() { Clear(); }
  KeyIndex(const KeyIndex&) = delete;
  KeyIndex& operator=(const KeyIndex&) = delete;
  KeyIndex(KeyIndex&& other) noexcept
      : slots_(std::move(other.slots_)), count_(std::exchange(other.count_, 0)) {
    other.slots_.clear();
  }

  size_t size() const { return count_; }

  Record* Find(std::wstring_view key) const {
    if (slots_.empty()) return nullptr;
    for (size_t i = Home(key);; i = Next(i)) {
      Record* record = slots_[i];
      if (!record || KeyOf(*record) == key) return record;
    }
  }

  // Room for `more` records beyond those in, so that the Inserts that follow cannot fail.
  // Throws std::bad_alloc, leaving the index as it was.
  void Reserve(size_t more) {
    const size_t wanted = count_ + more;
    size_t capacity = slots_.empty() ? 16 : slots_.size();
    while (wanted > capacity / 4 * 3) capacity *= 2;
    if (capacity == slots_.size()) return;
    std::vector<Record*> old(capacity, nullptr);
    old.swap(slots_);
    for (Record* record : old)
      if (record) slots_[FreeSlot(KeyOf(*record))] = record;
  }

  // Takes a record whose key is not in yet. Cannot fail when room was reserved; otherwise
  // it makes room first and may throw std::bad_alloc, which destroys the record.
  void Insert(std::unique_ptr<Record> record) {
    Reserve(1);
    const size_t slot = FreeSlot(KeyOf(*record));
    slots_[slot] = record.release();
    ++count_;
  }

  // Gives up the record under `key`; null when there is none.
  std::unique_ptr<Record> Take(std::wstring_view key) {
    if (slots_.empty()) return nullptr;
    size_t hole = Home(key);
    while (slots_[hole] && KeyOf(*slots_[hole]) != key) hole = Next(hole);
    std::unique_ptr<Record> taken(slots_[hole]);
    if (!taken) return nullptr;
    --count_;
    // The records after the hole that may not lie between their home slot and the hole
    // move back into it, so every search still meets its record before an empty slot.
    for (size_t i = Next(hole); slots_[i]; i = Next(i)) {
      const size_t home = Home(KeyOf(*slots_[i]));
      if (((i - home) & Mask()) >= ((i - hole) & Mask())) {
        slots_[hole] = slots_[i];
        hole = i;
      }
    }
    slots_[hole] = nullptr;
    return taken;
  }

  void Clear() {
    for (Record*& record : slots_) delete std::exchange(record, nullptr);
    count_ = 0;
  }

 private:
  static std::wstring_view KeyOf(const Record& record) { return record.key; }
  size_t Mask() const { return slots_.size() - 1; }
  size_t Next(size_t i) const { return (i + 1) & Mask(); }
  size_t Home(std::wstring_view key) const { return std::hash<std::wstring_view>()(key) & Mask(); }
  size_t FreeSlot(std::wstring_view key) const {
    size_t i = Home(key);
    while (slots_[i]) i = Next(i);
    return i;
  }

  std::vector<Record*> slots_;  // empty, or a power of two in size; null: a free slot
  size_t count_ = 0;
};
