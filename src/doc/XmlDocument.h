#pragma once
// The program's own small XML reader: one pass over a feed's UTF-16 text into a tree of
// nodes that the feed interpretation searches by element name. No validation beyond tag
// balance, no namespaces, no entity decoding (DecodeEntities does that later).
//
// Strings in the tree are views, most of them of the text given to Parse itself: a parse
// copies no character it can show where it stands, so that text must stay alive and
// unchanged while the tree is read (as it does for a caller that parses and reads in one
// function). Only what had to be assembled (a text joined from pieces around comments or
// CDATA, a tag the general steps read) is kept in the document's own storage. The nodes
// live in a few large blocks that the document owns, so a parse makes a handful of
// allocations instead of several per element, and freeing a tree is a short loop over
// those blocks. A view is valid until the next Parse or the document's end (and the
// text's) and is not NUL-terminated. Comparing works as it is (node->name == L"item",
// node->text == someWString); a caller that needs a string of its own writes
// std::wstring(node->text), e.g. DecodeEntities(std::wstring(node->text)).
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>

class XmlNode;

// An attribute as written: first the name, second the value (quotes removed).
using XmlAttribute = std::pair<std::wstring_view, std::wstring_view>;

// A node's attributes in document order; a contiguous array owned by the document.
class XmlAttributeList {
 public:
  using value_type = XmlAttribute;
  using const_iterator = const XmlAttribute*;
  using iterator = const_iterator;

  iterator begin() const { return items_; }
  iterator end() const { return items_ + count_; }
  bool empty() const { return count_ == 0; }
  size_t size() const { return count_; }
  const XmlAttribute& operator[](size_t i) const { return items_[i]; }
  const XmlAttribute& front() const { return items_[0]; }
  const XmlAttribute& back() const { return items_[count_ - 1]; }

 private:
  friend class XmlScanner;
  const XmlAttribute* items_ = nullptr;
  size_t count_ = 0;
};

// The children of a node in document order, iterated as XmlNode*. The nodes themselves
// belong to the document; the list only links them.
class XmlNodeList {
 public:
  class iterator {
   public:
    using iterator_category = std::forward_iterator_tag;
    using value_type = XmlNode*;
    using difference_type = std::ptrdiff_t;
    using pointer = XmlNode* const*;
    using reference = XmlNode*;

    iterator() = default;
    explicit iterator(XmlNode* node) : node_(node) {}
    XmlNode* operator*() const { return node_; }
    iterator& operator++();
    iterator operator++(int) {
      iterator old = *this;
      ++*this;
      return old;
    }
    bool operator==(const iterator& other) const = default;

   private:
    XmlNode* node_ = nullptr;
  };

  iterator begin() const { return iterator(first_); }
  iterator end() const { return iterator(); }
  bool empty() const { return first_ == nullptr; }
  size_t size() const { return count_; }
  XmlNode* front() const { return first_; }
  XmlNode* back() const { return last_; }

 private:
  friend class XmlDocument;
  friend class XmlScanner;
  void Append(XmlNode* node);

  XmlNode* first_ = nullptr;
  XmlNode* last_ = nullptr;
  size_t count_ = 0;
};

class XmlNode {
 public:
  XmlNode() = default;
  // Nodes belong to their document and are linked to each other; a copy would share links.
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;

  // Tag name as written; declarations keep their sign ("?xml", "!DOCTYPE"). Empty for the
  // document node.
  std::wstring_view name;

 private:
  friend class XmlNodeList;
  // Beside the name: walking a node's children and looking at their names, as readers of
  // a feed do, then touches one cache line per child.
  XmlNode* next_ = nullptr;

 public:
  // Character content trimmed of white space: the text before the first child, replaced at
  // each later child by the text since the previous one; if that leaves it empty, the text
  // after the last child.
  std::wstring_view text;
  // In document order; a bare word has an empty value.
  XmlAttributeList attributes;
  XmlNode* parent = nullptr;  // null only for the document node
  XmlNodeList children;

  XmlNode* NextSibling() const { return next_; }
};

inline XmlNodeList::iterator& XmlNodeList::iterator::operator++() {
  node_ = node_->NextSibling();
  return *this;
}

class XmlDocument {
 public:
  XmlDocument() = default;
  ~XmlDocument();
  XmlDocument(const XmlDocument&) = delete;
  XmlDocument& operator=(const XmlDocument&) = delete;

  // Parses a NUL-terminated UTF-16 text, replacing any previous tree (every view into the
  // previous one becomes invalid). The tree shows parts of `text` in place: keep it alive
  // and unchanged while the tree is read. Returns 0, or -1 with `error` set to
  // "[line:column] ... error\n". After a failure the nodes built so far stay reachable
  // from `root` until the next parse or the document's end.
  int Parse(const wchar_t* text);

  // First node below `from` (the document node when null) whose name equals `name`,
  // ignoring the case of A-Z only (the C-locale behaviour of _wcsicmp). Children are tested
  // in order; with `recursive`, a child that does not match has its subtree searched before
  // its next sibling (depth first, pre-order). Null when nothing matches. Iterative: the
  // depth of the document does not matter.
  XmlNode* Find(const wchar_t* name, const XmlNode* from, bool recursive) const;

  XmlNode* root = nullptr;  // the document node; null before the first parse
  std::wstring error;       // last parse error, empty after a success

 private:
  friend class XmlScanner;
  struct Block;

  // Storage of the tree: `size` bytes aligned for a node, from the current block or a new
  // one. Throws std::bad_alloc.
  void* Allocate(size_t size);
  void* AllocateInNewBlock(size_t size);
  void FreeTree();

  Block* blocks_ = nullptr;  // newest first
  char* free_ = nullptr;     // unused part of the newest ordinary block
  char* limit_ = nullptr;
};
