// Parse + Find + DecodeEntities on arbitrary text. The parser must agree with the literal
// character-by-character reader on the result, the message and the whole tree; Find must
// agree with a plain pre-order walk; decoding must agree with the naive decoder. The
// storage a parse asks for must stay in proportion to the text.
#include <sanitizer/allocator_interface.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzInput.h"
#include "LiteralXml.h"
#include "doc/LiteralDecode.h"
#include "doc/TextDecode.h"
#include "doc/XmlDocument.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Bytes allocated while `metering`, freed or not, counted by the sanitizer's hooks.
size_t meteredBytes = 0;
bool metering = false;
void CountMalloc(const volatile void*, size_t size) {
  if (metering) meteredBytes += size;
}
void IgnoreFree(const volatile void*) {}

bool SameName(std::wstring_view a, const wchar_t* b) {
  const std::wstring other(b);
  if (a.size() != other.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = other[i];
    if (x >= L'A' && x <= L'Z') x += 32;
    if (y >= L'A' && y <= L'Z') y += 32;
    if (x != y) return false;
  }
  return true;
}

// Both trees in pre-order, compared node by node (iterative: fuzz trees can be deep).
void CompareTrees(const XmlNode* root, const LiteralNode* literalRoot, std::vector<XmlNode*>& order) {
  std::vector<std::pair<const XmlNode*, const LiteralNode*>> stack{{root, literalRoot}};
  while (!stack.empty()) {
    auto [node, literal] = stack.back();
    stack.pop_back();
    order.push_back(const_cast<XmlNode*>(node));
    Check(node->name == literal->name);
    Check(node->text == literal->text);
    Check(node->attributes.size() == literal->attributes.size());
    for (size_t k = 0; k < node->attributes.size(); ++k) {
      Check(node->attributes[k].first == literal->attributes[k].first);
      Check(node->attributes[k].second == literal->attributes[k].second);
    }
    Check(node->children.size() == literal->children.size());
    std::vector<const XmlNode*> children(node->children.begin(), node->children.end());
    for (size_t k = children.size(); k-- > 0;) {
      Check(children[k]->parent == node);
      stack.emplace_back(children[k], literal->children[k].get());
    }
  }
}

size_t SubtreeEnd(const std::vector<XmlNode*>& order, size_t at) {
  size_t end = at + 1;
  while (end < order.size()) {
    const XmlNode* up = order[end];
    while (up && up != order[at]) up = up->parent;
    if (!up) break;
    ++end;
  }
  return end;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  __sanitizer_install_malloc_and_free_hooks(CountMalloc, IgnoreFree);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::wstring text = FuzzText(data, size);

  XmlDocument doc;
  meteredBytes = 0;
  metering = true;
  const int result = doc.Parse(text.c_str());
  metering = false;
  // A few dozen bytes per character at most (a node per "/>"), plus the first blocks.
  Check(meteredBytes <= 40 * sizeof(wchar_t) * text.size() + 256 * 1024);
  const LiteralParse literal(text.c_str());
  Check(result == literal.result);
  Check(doc.error == literal.error);
  Check((result == 0) == doc.error.empty());

  std::vector<XmlNode*> order;
  CompareTrees(doc.root, literal.root.get(), order);

  // Find against the pre-order list: from the document and from a node chosen by the input.
  const XmlNode* from = order[size % order.size()];
  const size_t fromAt = size % order.size();
  const size_t fromEnd = SubtreeEnd(order, fromAt);
  for (const wchar_t* name : {L"channel", L"ITEM", L"title", L"link", L"category", L"?xml", L"!DOCTYPE", L"a"}) {
    XmlNode* expected = nullptr;
    for (size_t k = fromAt + 1; k < fromEnd && !expected; ++k)
      if (SameName(order[k]->name, name)) expected = order[k];
    Check(doc.Find(name, from, true) == expected);
    XmlNode* direct = nullptr;
    for (XmlNode* child : from->children)
      if (!direct && SameName(child->name, name)) direct = child;
    Check(doc.Find(name, from, false) == direct);
  }

  size_t decoded = 0;
  for (const XmlNode* node : order) {
    if (decoded > 16384) break;
    decoded += node->text.size();
    const std::wstring text(node->text);
    const std::wstring fast = DecodeEntities(text);
    if (text.size() <= 512) Check(fast == LiteralDecodeEntities(text));
    for (const auto& attribute : node->attributes) {
      const std::wstring value(attribute.second);
      if (value.size() <= 512) Check(DecodeEntities(value) == LiteralDecodeEntities(value));
    }
  }
  return 0;
}
