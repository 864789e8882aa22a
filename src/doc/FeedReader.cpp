#include "doc/FeedReader.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

#include "common/CharClass.h"
#include "doc/TextDecode.h"
#include "doc/XmlDocument.h"

namespace {

// `name` equals `lower` (lower case) ignoring the case of A-Z.
bool NameIs(std::wstring_view name, std::wstring_view lower) {
  if (name.size() != lower.size()) return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (FoldAscii(name[i]) != lower[i]) return false;
  return true;
}

// The name without a namespace prefix.
std::wstring_view LocalName(std::wstring_view name) {
  const size_t colon = name.rfind(L':');
  return colon == std::wstring_view::npos ? name : name.substr(colon + 1);
}

// How element names compare: as written (RSS 2.0), or by local name (RSS 1.0, Atom).
enum class Names { AsWritten, Local };

bool Matches(const XmlNode* node, std::wstring_view lower, Names names) {
  return NameIs(names == Names::Local ? LocalName(node->name) : node->name, lower);
}

XmlNode* Child(const XmlNode* parent, std::wstring_view lower, Names names) {
  for (XmlNode* child : parent->children)
    if (Matches(child, lower, names)) return child;
  return nullptr;
}

// The first node of that name below `from`, depth first, not looking inside the elements
// named in `skip`. Iterative: documents may be deep.
XmlNode* Below(const XmlNode* from, std::wstring_view lower, Names names,
               std::initializer_list<std::wstring_view> skip = {}) {
  XmlNode* node = from->children.front();
  while (node) {
    if (Matches(node, lower, names)) return node;
    bool skipped = false;
    for (std::wstring_view name : skip) skipped = skipped || Matches(node, name, names);
    if (!skipped && node->children.front()) {
      node = node->children.front();
      continue;
    }
    while (node != from && !node->NextSibling()) node = node->parent;
    node = node == from ? nullptr : node->NextSibling();
  }
  return nullptr;
}

// An item's own child of that name, else the first one anywhere below it.
XmlNode* Part(const XmlNode* item, std::wstring_view lower, Names names) {
  if (XmlNode* own = Child(item, lower, names)) return own;
  return Below(item, lower, names);
}

std::wstring Trimmed(std::wstring text, std::wstring_view set) {
  const size_t first = text.find_first_not_of(set);
  if (first == std::wstring::npos) return {};
  text.erase(text.find_last_not_of(set) + 1);
  text.erase(0, first);
  return text;
}

std::wstring_view Attribute(const XmlNode* node, std::wstring_view lower) {
  for (const XmlAttribute& attribute : node->attributes)
    if (NameIs(LocalName(attribute.first), lower)) return attribute.second;
  return {};
}

bool HasAttribute(const XmlNode* node, std::wstring_view lower) {
  for (const XmlAttribute& attribute : node->attributes)
    if (NameIs(LocalName(attribute.first), lower)) return true;
  return false;
}

// All the character content of a subtree in document order, one space between pieces.
std::wstring SubtreeText(const XmlNode* from) {
  std::wstring text(from->text);
  const XmlNode* node = from->children.front();
  while (node) {
    if (!node->text.empty()) {
      text += L' ';
      text += node->text;
    }
    if (node->children.front()) {
      node = node->children.front();
      continue;
    }
    while (node != from && !node->NextSibling()) node = node->parent;
    node = node == from ? nullptr : node->NextSibling();
  }
  return text;
}

// An Atom text construct as shown: plain text decoded; "html" as a browser shows it;
// "xhtml" (markup that the parser has made into elements) as the text of its elements.
std::wstring AtomText(const XmlNode* node) {
  const std::wstring_view type = Attribute(node, L"type");
  if (NameIs(type, L"html")) return HtmlToText(DecodeEntities(std::wstring(node->text)));
  if (NameIs(type, L"xhtml")) return HtmlToText(SubtreeText(node));
  return DecodeEntities(std::wstring(node->text));
}

void SetTitle(FeedDocument& feed, std::wstring title) {
  feed.hasTitle = true;
  feed.channelTitle = Trimmed(std::move(title), L" \r\n");
}

// Items as they are read: where their texts lie in the document's characters, which
// still grow. They become views once the characters are all there.
struct Span {
  size_t at = 0, size = 0;
};
struct PendingEntry {
  Span title, link, category;
};

class Builder {
 public:
  explicit Builder(FeedDocument& feed) : feed_(feed) {}
  std::wstring& Text() { return feed_.text; }
  // Appends what `write` writes to the characters; where it lies.
  template <typename Writer>
  Span Write(Writer&& write) {
    Span span{feed_.text.size(), 0};
    write(feed_.text);
    span.size = feed_.text.size() - span.at;
    return span;
  }
  Span Add(std::wstring_view piece) {
    return Write([piece](std::wstring& text) { text.append(piece); });
  }
  // Keeps an item with a title and a link; drops the characters of one without.
  void Keep(const PendingEntry& entry) {
    if (entry.title.size && entry.link.size) pending_.push_back(entry);
    else feed_.text.resize(entry.title.at);
  }
  void Reserve(size_t items) { pending_.reserve(items); }
  void Finish() {
    // On the heap even when short, so that moving the document keeps the views valid.
    feed_.text.reserve(std::max<size_t>(feed_.text.size(), 64));
    const std::wstring_view text(feed_.text);
    feed_.items.reserve(pending_.size());
    for (const PendingEntry& entry : pending_)
      feed_.items.push_back({text.substr(entry.title.at, entry.title.size), text.substr(entry.link.at, entry.link.size),
                             text.substr(entry.category.at, entry.category.size)});
  }

 private:
  FeedDocument& feed_;
  std::vector<PendingEntry> pending_;
};

// The nodes of an RSS item (2.0 or 1.0) that hold its title, link and category.
struct RssParts {
  const XmlNode* title = nullptr;
  const XmlNode* link = nullptr;
  const XmlNode* category = nullptr;
};

// An item's own children of those names, found in one pass; one it lacks is looked for
// below it. False for an item without a title or a link.
bool FindRssParts(const XmlNode* item, Names names, RssParts& parts) {
  for (const XmlNode* child : item->children) {
    const std::wstring_view name = names == Names::Local ? LocalName(child->name) : child->name;
    // Names compared by length first: most children are none of the three.
    if (name.size() == 5 && !parts.title && NameIs(name, L"title")) parts.title = child;
    else if (name.size() == 4 && !parts.link && NameIs(name, L"link")) parts.link = child;
    else if (name.size() == 8 && !parts.category && NameIs(name, L"category")) parts.category = child;
  }
  if (!parts.title) parts.title = Below(item, L"title", names);
  if (!parts.link) parts.link = Below(item, L"link", names);
  if (!parts.title || !parts.link) return false;
  if (!parts.category) parts.category = Below(item, L"category", names);
  return true;
}

// The items among `nodes` (those named "item"): their nodes first, so that the characters
// are sized once (decoding never lengthens a text), then their texts.
void ReadRssItems(Builder& builder, const XmlNodeList& nodes, Names names) {
  std::vector<RssParts> items;
  items.reserve(nodes.size());
  size_t characters = 0;
  for (const XmlNode* node : nodes) {
    RssParts parts;
    if (!Matches(node, L"item", names) || !FindRssParts(node, names, parts)) continue;
    characters += parts.title->text.size() + parts.link->text.size() + (parts.category ? parts.category->text.size() : 0);
    items.push_back(parts);
  }
  builder.Reserve(items.size());
  builder.Text().reserve(builder.Text().size() + characters);
  for (const RssParts& parts : items) {
    PendingEntry entry;
    entry.title = builder.Write([&parts](std::wstring& text) { AppendDecoded(parts.title->text, text); });
    entry.link = builder.Write([&parts](std::wstring& text) { AppendDecoded(parts.link->text, text); });
    if (parts.category) entry.category = builder.Add(parts.category->text);
    builder.Keep(entry);
  }
}

// The channel's own title, else the first title outside its items and its image (whose
// title names the picture, not the channel).
void ReadChannelTitle(FeedDocument& feed, const XmlNode* channel, Names names) {
  const XmlNode* title = Child(channel, L"title", names);
  if (!title) title = Below(channel, L"title", names, {L"item", L"entry", L"image"});
  if (title) SetTitle(feed, DecodeEntities(std::wstring(title->text)));
}

// The address of an Atom entry: the first link meant for reading it (rel "alternate" or
// none), not the feed's own address, an editing address or an attachment.
std::wstring AtomLink(const XmlNode* entry) {
  for (const XmlNode* child : entry->children) {
    if (!Matches(child, L"link", Names::Local)) continue;
    if (HasAttribute(child, L"rel") && !NameIs(Attribute(child, L"rel"), L"alternate")) continue;
    return DecodeEntities(std::wstring(Attribute(child, L"href")));
  }
  return {};
}

void ReadAtom(FeedDocument& feed, Builder& builder, const XmlNode* root) {
  if (const XmlNode* title = Child(root, L"title", Names::Local)) SetTitle(feed, AtomText(title));
  builder.Reserve(root->children.size());
  for (const XmlNode* node : root->children) {
    if (!Matches(node, L"entry", Names::Local)) continue;
    PendingEntry entry;
    const XmlNode* title = Part(node, L"title", Names::Local);
    entry.title = builder.Add(title ? AtomText(title) : std::wstring());
    entry.link = builder.Add(AtomLink(node));
    if (const XmlNode* category = Child(node, L"category", Names::Local))
      entry.category = builder.Add(DecodeEntities(std::wstring(Attribute(category, L"term"))));
    builder.Keep(entry);
  }
}

// The document's element (declarations and processing instructions are nodes too).
const XmlNode* RootElement(const XmlDocument& document) {
  for (const XmlNode* node : document.root->children)
    if (!node->name.empty() && node->name[0] != L'?' && node->name[0] != L'!') return node;
  return nullptr;
}

}  // namespace

FeedDocument ReadFeed(const wchar_t* text) {
  FeedDocument feed;
  XmlDocument document;
  if (document.Parse(text) != 0) {
    feed.status = FeedDocument::Status::Failed;
    feed.message = document.error;
    return feed;
  }
  feed.status = FeedDocument::Status::Parsed;
  Builder builder(feed);
  const XmlNode* root = RootElement(document);
  if (root && NameIs(LocalName(root->name), L"rdf")) {
    if (const XmlNode* channel = Child(root, L"channel", Names::Local)) ReadChannelTitle(feed, channel, Names::Local);
    ReadRssItems(builder, root->children, Names::Local);
  } else if (const XmlNode* channel = document.Find(L"channel", nullptr, true)) {
    ReadChannelTitle(feed, channel, Names::AsWritten);
    ReadRssItems(builder, channel->children, Names::AsWritten);
  } else if (root && NameIs(LocalName(root->name), L"feed")) {
    ReadAtom(feed, builder, root);
  } else {
    feed.status = FeedDocument::Status::NoChannel;
  }
  builder.Finish();
  return feed;
}

namespace {

// Whether a tag (its text between '<' and '>') ends a line or a block, which a browser
// shows as a break between words; inline tags such as <b> join what is around them.
bool BreaksLine(std::wstring_view tag) {
  if (!tag.empty() && tag[0] == L'/') tag.remove_prefix(1);
  size_t length = 0;
  while (length < tag.size() && ((tag[length] >= L'a' && tag[length] <= L'z') ||
                                 (tag[length] >= L'A' && tag[length] <= L'Z') ||
                                 (tag[length] >= L'1' && tag[length] <= L'6')))
    ++length;
  const std::wstring_view name = tag.substr(0, length);
  for (std::wstring_view block : {L"br", L"p", L"div", L"li", L"ul", L"ol", L"tr", L"td", L"th", L"table", L"hr",
                                  L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"blockquote", L"pre", L"dd", L"dt"})
    if (NameIs(name, block)) return true;
  return false;
}

}  // namespace

std::wstring HtmlToText(const std::wstring& html) {
  // Markup out first, so that an escaped "&lt;" in the text stays a character.
  std::wstring bare;
  bare.reserve(html.size());
  for (size_t i = 0; i < html.size();) {
    if (html[i] != L'<') {
      bare += html[i++];
      continue;
    }
    const bool comment = html.compare(i, 4, L"<!--") == 0;
    const size_t end = comment ? html.find(L"-->", i + 4) : html.find(L'>', i + 1);
    if (end == std::wstring::npos) {  // an unclosed '<' is text
      bare += html[i++];
      continue;
    }
    if (!comment && BreaksLine(std::wstring_view(html).substr(i + 1, end - i - 1))) bare += L' ';
    i = end + (comment ? 3 : 1);
  }
  const std::wstring decoded = DecodeEntities(std::move(bare));
  std::wstring text;
  text.reserve(decoded.size());
  bool space = false;
  for (wchar_t c : decoded) {
    if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
      space = !text.empty();
      continue;
    }
    if (space) text += L' ';
    space = false;
    text += c;
  }
  return text;
}
