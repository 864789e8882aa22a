#pragma once
// The program's own small XML reader: one pass over a feed's UTF-16 text into a tree of
// nodes that the feed interpretation searches by element name. No validation beyond tag
// balance, no namespaces, no entity decoding (DecodeEntities does that later).
#include <cstddef>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class XmlNode;

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
  std::wstring name;
  // Character content trimmed of white space: the text before the first child, replaced at
  // each later child by the text since the previous one; if that leaves it empty, the text
  // after the last child.
  std::wstring text;
  // In document order, quotes removed from quoted values; a bare word has an empty value.
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  XmlNode* parent = nullptr;  // null only for the document node
  XmlNodeList children;

  XmlNode* NextSibling() const { return next_; }

 private:
  friend class XmlNodeList;
  XmlNode* next_ = nullptr;
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

  // Parses a NUL-terminated UTF-16 text, replacing any previous tree. Returns 0, or -1 with
  // `error` set to "[line:column] ... error\n". After a failure the nodes built so far stay
  // reachable from `root` until the next parse or the document's end.
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
  XmlNode* NewNode(XmlNode* parent);
  void FreeTree();

  // Nodes live in blocks owned here, so that freeing a tree of any depth is a flat loop.
  // A block's nodes are constructed as they are used.
  struct NodeBlock {
    XmlNode* nodes;
    size_t capacity;
    size_t used;
  };
  std::vector<NodeBlock> blocks_;
};
