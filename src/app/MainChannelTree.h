#pragma once
#include "channels/ChannelTree.h"

class CMainFrame;

// The main frame's tree: a right click on empty space offers refresh and add, and every
// record the tree destroys leaves the frame's list of feed items first.
class MainChannelTree : public ChannelTree {
 public:
  explicit MainChannelTree(CMainFrame& frame) : frame_(frame) {}

 protected:
  void AddMenuHook(HMENU menu) override;
  void OnItemRemoved(CTreeItem& item) override;

 private:
  CMainFrame& frame_;
};
