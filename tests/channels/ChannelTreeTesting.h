#pragma once
// A frame of the tests' own around a real channel tree, and helpers that read the
// control's state back.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "channels/ChannelTree.h"
#include "win/Window.h"

namespace test {

struct SeenView {
  std::wstring title, link, extra;
};

// Stands in for the main frame: the tree's parent, the owner of its menus, and the
// receiver of 'VIEW'. Keeps the tree filling its client area.
class TreeFrame : public win::Window {
 public:
  bool Create(int x, int y, int width, int height);
  ChannelTree* tree = nullptr;
  std::vector<SeenView> views;
  std::vector<UINT> commands;

 protected:
  LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool OnCommand(UINT id, UINT code, HWND control) override;
};

// A tree that records the records it is about to destroy.
class RecordingTree : public ChannelTree {
 public:
  ~RecordingTree() override { RemoveAll(); }
  std::vector<std::wstring> removed;
  bool fillEmptyAreaMenu = false;  // like the main frame's tree, which adds its entries

 protected:
  void OnItemRemoved(CTreeItem& item) override { removed.push_back(item.key); }
  void AddMenuHook(HMENU menu) override {
    if (fillEmptyAreaMenu) ::AppendMenuW(menu, MF_STRING, 4242, L"empty area");
  }
};

HTREEITEM Handle(const ChannelTree& tree, const std::wstring& key);
std::wstring Label(HWND tree, HTREEITEM entry);
UINT State(HWND tree, HTREEITEM entry, UINT mask);
int Image(HWND tree, HTREEITEM entry);
// Keys of the entries below `parent` (null: the top level) in the control's order.
std::vector<std::wstring> ChildKeys(HWND tree, HTREEITEM parent);
RECT LabelRect(HWND tree, HTREEITEM entry);
POINT LabelPoint(HWND tree, HTREEITEM entry);  // the middle of the label, client coordinates
HTREEITEM Selected(HWND tree);
HTREEITEM FirstVisible(HWND tree);

// The label the tree must show for `item`: the whole text or the longest "prefix..."
// that fits before the right edge, measured one character at a time in the control's
// font (bold or not), as the control's own fit would be done without any shortcut.
std::wstring ExpectedLabel(HWND tree, const CTreeItem& item, bool bold);

// Mouse input as the control gets it from the system, posted and then dispatched (the
// cursor itself is left alone: it is shared with tests running beside this one).
void Click(HWND window, POINT client);
void RightClick(HWND window, POINT client);
void DoubleClick(HWND window, POINT client);

// A real entry of the system's URL cache for `url`; false when it could not be made.
bool AddToUrlCache(const std::wstring& url);
void RemoveFromUrlCache(const std::wstring& url);
// An address no test has used before.
std::wstring UniqueUrl(const wchar_t* name);

}  // namespace test
