#pragma once
#include <functional>
#include <utility>

#include "channels/ChannelTree.h"

// The main frame's tree: a right click on empty space offers refresh and add, channels
// offer the frame's channel commands, and every record the tree destroys is reported
// (the frame drops it from its list of feed items first).
class MainChannelTree : public ChannelTree {
 public:
  explicit MainChannelTree(std::function<void(CTreeItem&)> itemRemoved);

 protected:
  void AddMenuHook(HMENU menu) override;
  void OnItemRemoved(CTreeItem& item) override;

 private:
  std::function<void(CTreeItem&)> itemRemoved_;
};
