#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "channels/KeyIndex.h"

namespace {

struct Record {
  Record(std::wstring k, int* alive) : key(std::move(k)), alive(alive) { ++*alive; }
  ~Record() { --*alive; }
  std::wstring key;
  int* alive;
};

}  // namespace

// Random inserts and removals checked against a map after every step: runs of records
// displaced from their home slot, wrapping past the end of the array, must stay findable
// when a record before them leaves, and the table grows through several sizes.
TEST(KeyIndex, AgreesWithAMapThroughInsertsRemovalsAndGrowth) {
  int alive = 0;
  {
    KeyIndex<Record> index;
    std::map<std::wstring, Record*> reference;
    std::vector<std::wstring> keys;
    for (int k = 0; k < 300; ++k) keys.push_back(L"http://n/" + std::to_wstring(k));
    std::mt19937 random(7);
    for (int step = 0; step < 3000; ++step) {
      const std::wstring& key = keys[random() % keys.size()];
      if (random() % 3 != 0 && !reference.count(key)) {
        index.Reserve(1);
        auto record = std::make_unique<Record>(key, &alive);
        reference[key] = record.get();
        index.Insert(std::move(record));
      } else {
        const auto found = reference.find(key);
        ASSERT_EQ(index.Take(key).get(), found == reference.end() ? nullptr : found->second) << step;
        if (found != reference.end()) reference.erase(found);
      }
      ASSERT_EQ(index.size(), reference.size());
      for (const std::wstring& probe : keys) {
        const auto found = reference.find(probe);
        ASSERT_EQ(index.Find(probe), found == reference.end() ? nullptr : found->second) << step << " " << probe;
      }
    }
    EXPECT_EQ(alive, static_cast<int>(reference.size()));
    const KeyIndex<Record> moved = std::move(index);
    EXPECT_EQ(index.Find(keys[0]), nullptr);
    EXPECT_EQ(moved.size(), reference.size());
    KeyIndex<Record> unreserved;  // makes room of its own
    unreserved.Insert(std::make_unique<Record>(L"x", &alive));
    EXPECT_EQ(unreserved.Find(L"x")->key, L"x");
  }
  EXPECT_EQ(alive, 0);  // the index destroys what it still holds
}
