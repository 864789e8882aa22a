#include "doc/XmlDocument.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>
#include <vector>

#include "common/CharClass.h"

// In the program the searches for '<' and '>' and the ends of names read the text sixteen
// bytes at a time (the C library of Windows compares one character at a time), from the
// 16-byte boundary at or below where they start: such a load never crosses into another
// page, so reading past the terminating NUL within its block cannot fault, as the C
// library's own string functions read. The address sanitizer would still count those bytes
// as read, so these functions are left uninstrumented. Natively the C library's search is
// faster than SSE2 over 4-byte wchar_t; the fuzzer build takes the program's path
// (PELLORA_VECTOR_SEARCH) so that it checks it natively too.
#if defined(__SSE2__) && defined(__GNUC__) && (defined(_WIN32) || defined(PELLORA_VECTOR_SEARCH))
#define VECTOR_SEARCH 1
#include <emmintrin.h>
#endif

// Freeing a tree only releases its blocks: nothing in it may need a destructor.
static_assert(std::is_trivially_destructible_v<XmlNode>);
static_assert(std::is_trivially_destructible_v<XmlAttribute>);

namespace {

enum class ScanError { None, InvalidCharacter, StartTagMatch, EndTagMatch, RootTagDuplicate, BlankTag, TagMatch, Memory };

// The message texts are part of what the program has always traced, spelling included.
const wchar_t* ErrorName(ScanError kind) {
  switch (kind) {
    case ScanError::InvalidCharacter: return L"Invalid charater";
    case ScanError::StartTagMatch: return L"Start tag match";
    case ScanError::EndTagMatch: return L"End tag match";
    case ScanError::RootTagDuplicate: return L"Root tag duplicate";
    case ScanError::BlankTag: return L"Blank tag";
    case ScanError::TagMatch: return L"Tag match";
    case ScanError::Memory: return L"CMemoryException";
    case ScanError::None: break;
  }
  return L"";
}

// Everything in a block is aligned for a node; strings are rounded up to that too, which
// costs a few bytes and saves an alignment step on every allocation.
constexpr size_t kAlign = alignof(XmlNode);
static_assert(alignof(XmlAttribute) <= kAlign && alignof(wchar_t) <= kAlign);
// Blocks stay within the allocator's ordinary heap (no mapping of their own per block).
// The length of the text is not measured first (that would be one more pass over it), so
// every block has this size; the first holds the whole tree of a feed of a few kilobytes.
constexpr size_t kMaxBlock = 64 * 1024;
// A request above this (a long text) gets a block of its own, so the current block is
// neither wasted nor overrun.
constexpr size_t kOwnBlockAbove = kMaxBlock / 4;

constexpr size_t RoundUp(size_t n) { return (n + kAlign - 1) & ~(kAlign - 1); }

// A view of [begin, end) of the text; an empty one shows nothing, as an empty view made
// any other way.
inline std::wstring_view View(const wchar_t* begin, const wchar_t* end) {
  return begin == end ? std::wstring_view() : std::wstring_view(begin, static_cast<size_t>(end - begin));
}

inline bool IsQuote(wchar_t c) { return c == L'"' || c == L'\''; }

// The white space that separates things inside a tag.
inline bool IsTagSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; }

// Characters that end a run of ordinary characters inside a tag, as bits by code: the
// terminating NUL, tab, line feed, carriage return, space, '"', '\'', '/', '<', '=', '>'
// and '?'.
constexpr uint64_t Bit(unsigned c) { return uint64_t(1) << c; }
constexpr uint64_t kStopsRun = Bit(0) | Bit('\t') | Bit('\n') | Bit('\r') | Bit(' ') | Bit('"') | Bit('\'') |
                               Bit('/') | Bit('<') | Bit('=') | Bit('>') | Bit('?');
// What may need a look inside a quoted value: either quote, '<', "/>" or "?>", the NUL.
constexpr uint64_t kStopsValue = Bit(0) | Bit('"') | Bit('\'') | Bit('/') | Bit('<') | Bit('?');

inline bool In(uint64_t set, wchar_t c) {
  const auto u = static_cast<unsigned>(c);
  return u < 64 && ((set >> u) & 1) != 0;
}

#if defined(VECTOR_SEARCH)
// The bits of _mm_movemask_epi8 for the characters of a block below 0x40, where every
// character of kStopsRun lies (negative 4-byte values are flagged too; In turns them away).
inline unsigned BelowAt(__m128i v) {
  if constexpr (sizeof(wchar_t) == 2)
    return static_cast<unsigned>(
        _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x3F)), _mm_setzero_si128())));
  else
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmplt_epi32(v, _mm_set1_epi32(0x40))));
}
#endif

// The end of a run of ordinary characters (a name, or a piece of an attribute value).
#if defined(VECTOR_SEARCH)
__attribute__((no_sanitize("address"))) inline const wchar_t* SkipRun(const wchar_t* p) {
  constexpr unsigned kCharBits = (1u << sizeof(wchar_t)) - 1;
  const auto offset = static_cast<unsigned>(reinterpret_cast<uintptr_t>(p) & 15);
  const auto* block = reinterpret_cast<const __m128i*>(reinterpret_cast<uintptr_t>(p) - offset);
  unsigned candidates = BelowAt(_mm_load_si128(block)) >> offset << offset;
  for (;;) {
    // In order, so the NUL (a stop) is reached before anything past it is looked at.
    while (candidates) {
      const unsigned byte = static_cast<unsigned>(__builtin_ctz(candidates));
      const auto* at = reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(block) + byte);
      if (In(kStopsRun, *at)) return at;
      candidates &= ~(kCharBits << byte);
    }
    candidates = BelowAt(_mm_load_si128(++block));
  }
}
#else
// Four at a time: each character is read only after the one before it proved not to be
// the NUL.
inline const wchar_t* SkipRun(const wchar_t* p) {
  for (;; p += 4) {
    if (In(kStopsRun, p[0])) return p;
    if (In(kStopsRun, p[1])) return p + 1;
    if (In(kStopsRun, p[2])) return p + 2;
    if (In(kStopsRun, p[3])) return p + 3;
  }
}
#endif

// p is at a '<'; the text is NUL-terminated, so reading stops at a mismatch in time.
inline bool AtCData(const wchar_t* p) {
  return p[1] == L'!' && p[2] == L'[' && p[3] == L'C' && p[4] == L'D' && p[5] == L'A' && p[6] == L'T' &&
         p[7] == L'A' && p[8] == L'[';
}
inline bool AtComment(const wchar_t* p) { return p[1] == L'!' && p[2] == L'-' && p[3] == L'-'; }

// Where a search for '<' that reached the end of the text says so: a NUL of its own, so
// that the text need not be passed over once more to find its end. Nothing pending there
// is used, and an error reported there is placed at the end of the text.
const wchar_t kEndOfText = L'\0';

#if defined(VECTOR_SEARCH)
// The first `c` or NUL at or after p.
template <wchar_t c>
__attribute__((no_sanitize("address"))) inline const wchar_t* FindOrEnd(const wchar_t* p) {
  static_assert(sizeof(wchar_t) == 2 || sizeof(wchar_t) == 4);
  auto match = [](__m128i v) {
    if constexpr (sizeof(wchar_t) == 2)
      return static_cast<unsigned>(_mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(c)), _mm_cmpeq_epi16(v, _mm_setzero_si128()))));
    else
      return static_cast<unsigned>(_mm_movemask_epi8(
          _mm_or_si128(_mm_cmpeq_epi32(v, _mm_set1_epi32(c)), _mm_cmpeq_epi32(v, _mm_setzero_si128()))));
  };
  const auto offset = static_cast<unsigned>(reinterpret_cast<uintptr_t>(p) & 15);
  const auto* block = reinterpret_cast<const __m128i*>(reinterpret_cast<uintptr_t>(p) - offset);
  unsigned found = match(_mm_load_si128(block)) >> offset << offset;
  while (found == 0) found = match(_mm_load_si128(++block));
  return reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(block) + __builtin_ctz(found));
}
#endif

// The first `c` at or after p, or null (std::wcschr for a character other than the NUL).
template <wchar_t c>
inline const wchar_t* Find(const wchar_t* p) {
#if defined(VECTOR_SEARCH)
  p = FindOrEnd<c>(p);
  return *p ? p : nullptr;
#else
  return std::wcschr(p, c);
#endif
}

// The next '<' at or after p, or the terminating NUL (or kEndOfText).
inline const wchar_t* FindTagStart(const wchar_t* p) {
#if defined(VECTOR_SEARCH)
  return *p == L'<' ? p : FindOrEnd<L'<'>(p);  // often the next tag follows at once
#else
  // Text between elements is mostly a few characters of indentation, too short to be
  // worth a library call.
  for (int k = 0; k < 8; ++k, ++p) {
    if (*p == L'<' || *p == L'\0') return p;
  }
  const wchar_t* lt = std::wcschr(p, L'<');
  return lt ? lt : &kEndOfText;
#endif
}

// The first "xy>" at or after `from` ("-->", "]]>"), or null. The '>' is looked for first:
// it is the rarer character, and one search passes over the text up to it.
const wchar_t* FindClose(const wchar_t* from, wchar_t x, wchar_t y) {
  for (const wchar_t* gt = Find<L'>'>(from); gt; gt = Find<L'>'>(gt + 1)) {
    if (gt - from >= 2 && gt[-2] == x && gt[-1] == y) return gt - 2;
  }
  return nullptr;
}

#if defined(VECTOR_SEARCH)
// Whether `name` and `want` agree in their first `length` (1 to 16 bytes' worth of)
// characters, in one step: one unaligned 16-byte load of each, which the caller keeps
// within a page (the same reasoning as for the searches above).
__attribute__((no_sanitize("address"))) inline bool SameShortName(const wchar_t* name, const wchar_t* want,
                                                                   size_t length) {
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(name));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(want));
  const auto equal = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
  const unsigned wanted = (1u << (length * sizeof(wchar_t))) - 1;
  return (equal & wanted) == wanted;
}
#endif

// Whether the text at `name` spells want[0, length) and then '>': the end tag of an element
// spelt as its start tag. The text is NUL-terminated, so a mismatch stops the comparison in
// time; `want` lies in the text before `name`.
inline bool ClosesAs(const wchar_t* name, const wchar_t* want, size_t length) {
#if defined(VECTOR_SEARCH)
  // A name of up to eight characters, the most common, in one step where neither load
  // crosses into another page: a loop whose length changes from tag to tag is mispredicted
  // at most of its ends.
  constexpr size_t kChars = 16 / sizeof(wchar_t);
  constexpr uintptr_t kLastStart = 4096 - 16;
  if (length - 1 < kChars && (reinterpret_cast<uintptr_t>(name) & 4095) <= kLastStart &&
      (reinterpret_cast<uintptr_t>(want) & 4095) <= kLastStart)
    return SameShortName(name, want, length) && name[length] == L'>';
#endif
  size_t i = 0;
  while (i < length && name[i] == want[i]) ++i;
  return i == length && length != 0 && name[i] == L'>';
}

// "<!DOCTYPE", the keyword in any letter case.
inline bool AtDoctype(const wchar_t* p) {
  if (p[1] != L'!') return false;
  const wchar_t* keyword = L"doctype";
  for (int k = 0; k < 7; ++k)
    if (FoldAscii(p[2 + k]) != keyword[k]) return false;
  return true;
}

// The '>' that ends a document type declaration whose keyword ends at `p`: the first one
// outside quotes and outside the internal subset in brackets (where comments may hold
// anything). Null when there is none.
const wchar_t* DoctypeEnd(const wchar_t* p) {
  wchar_t quote = 0;
  size_t depth = 0;
  for (; *p; ++p) {
    const wchar_t c = *p;
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == L'"' || c == L'\'') {
      quote = c;
    } else if (c == L'[') {
      ++depth;
    } else if (c == L']') {
      if (depth) --depth;
    } else if (depth && c == L'<' && AtComment(p)) {
      const wchar_t* close = FindClose(p + 4, L'-', L'-');
      if (!close) return nullptr;
      p = close + 2;
    } else if (c == L'>' && depth == 0) {
      return p;
    }
  }
  return nullptr;
}

inline bool IsSpace(wchar_t c) {
  if (c < 0x80) return c == L' ' || (c >= 0x09 && c <= 0x0D);
  // Only these can be white space; letters such as Hangul are turned away at once.
  if (c > 0x3000) return false;
  return (c == 0x85 || c == 0xA0 || c == 0x1680 || c >= 0x2000) && IsWideSpace(c);
}

// A start tag of the plain form, as found by ScanPlainTag.
struct PlainTag {
  static constexpr size_t kMaxSpans = 16;
  struct Span {
    const wchar_t* name;
    const wchar_t* nameEnd;
    const wchar_t* value;
    const wchar_t* valueEnd;
  };
  const wchar_t* name;
  const wchar_t* nameEnd;
  size_t count = 0;
  Span spans[kMaxSpans];
};

// p is at a '<'. A start tag of the plain form: a name, then at most kMaxSpans
// name="value" (or '...') separated by white space, then '>' or "/>"; or a processing
// instruction of the same form, "<?name ...?>" (an XML declaration), which the general
// steps too make a leaf like an element closed by "/>". Inside the quotes nothing may
// occur that would act on its own ('<' may open a comment, "/>" and "?>" close the tag),
// and each value must be followed by white space or the end of the tag. Returns the '>',
// or the '/' or '?' before it that closes the tag at once; null when the tag has another
// form.
template <bool instruction>
inline const wchar_t* ScanPlainTagOf(const wchar_t* p, PlainTag& tag) {
  const wchar_t* const name = p + 1;
  const wchar_t* const nameEnd = SkipRun(name + instruction);
  if (nameEnd == name + instruction) return nullptr;
  tag.name = name;
  tag.nameEnd = nameEnd;
  size_t count = 0;
  const wchar_t* q = nameEnd;
  auto atEnd = [](const wchar_t* at) {
    if constexpr (instruction) return *at == L'?' && at[1] == L'>';
    return *at == L'>' || (*at == L'/' && at[1] == L'>');
  };
  for (;;) {
    if (atEnd(q)) break;
    if (!IsTagSpace(*q)) return nullptr;
    do ++q;
    while (IsTagSpace(*q));
    if (atEnd(q)) break;
    if (count == PlainTag::kMaxSpans) return nullptr;
    PlainTag::Span& span = tag.spans[count];
    span.name = q;
    span.nameEnd = SkipRun(q);
    if (span.nameEnd == q || *span.nameEnd != L'=' || !IsQuote(span.nameEnd[1])) return nullptr;
    const wchar_t quote = span.nameEnd[1];
    span.value = span.nameEnd + 2;
    for (q = span.value;; ++q) {
      const wchar_t c = *q;
      if (!In(kStopsValue, c)) continue;
      if (c == quote) break;
      if (c == L'<' || c == L'\0' || ((c == L'/' || c == L'?') && q[1] == L'>')) return nullptr;
    }
    span.valueEnd = q++;
    ++count;
  }
  tag.count = count;
  return q;
}

inline const wchar_t* ScanPlainTag(const wchar_t* p, PlainTag& tag) {
  return p[1] == L'?' ? ScanPlainTagOf<true>(p, tag) : ScanPlainTagOf<false>(p, tag);
}

inline bool AllSpace(const wchar_t* begin, const wchar_t* end) {
  for (; begin < end; ++begin)
    if (!IsSpace(*begin)) return false;
  return true;
}

}  // namespace

struct XmlDocument::Block {
  Block* next;
};

namespace {
constexpr size_t kBlockHeader = RoundUp(sizeof(XmlDocument*));
}

inline void* XmlDocument::Allocate(size_t size) {
  size = RoundUp(size);
  if (size <= static_cast<size_t>(limit_ - free_)) {
    void* at = free_;
    free_ += size;
    return at;
  }
  return AllocateInNewBlock(size);
}

void* XmlDocument::AllocateInNewBlock(size_t size) {
  static_assert(sizeof(Block) <= kBlockHeader);
  if (size > SIZE_MAX - kBlockHeader - kMaxBlock) throw std::bad_alloc();
  if (size > kOwnBlockAbove) {
    Block* block = static_cast<Block*>(::operator new(kBlockHeader + size));
    block->next = blocks_;
    blocks_ = block;
    return reinterpret_cast<char*>(block) + kBlockHeader;
  }
  const size_t blockSize = kMaxBlock;
  Block* block = static_cast<Block*>(::operator new(blockSize));
  block->next = blocks_;
  blocks_ = block;
  char* data = reinterpret_cast<char*>(block) + kBlockHeader;
  free_ = data + size;
  limit_ = reinterpret_cast<char*>(block) + blockSize;
  return data;
}

// One parse. Line and column are not tracked while scanning: they follow from the offset
// of the character being handled, and are computed only for an error message.
class XmlScanner {
 public:
  XmlScanner(XmlDocument& doc, const wchar_t* text) : doc_(doc), text_(text) {}

  ScanError Run(const wchar_t*& errorAt);

 private:
  enum class Value { Added, Open, Invalid };
  enum class Fast { Unhandled, Done, Failed };

  ScanError Scan(const wchar_t*& errorAt);
  ScanError ScanLoop(const wchar_t*& p);
  Fast TakeStartTag(const wchar_t*& p, ScanError& error);
  void FastScan(const wchar_t*& pos);
  static size_t ElementBytes(const PlainTag& tag);
  static XmlNode* BuildElement(char* at, XmlNode* parent, const PlainTag& tag);
  ScanError CloseTag(const wchar_t* p);
  ScanError SelfClose(const wchar_t* p);
  Value CompleteValue();
  bool TakeQuotedAttribute(const wchar_t*& p);
  bool QuoteOpen() const {
    return !token_.empty() && IsQuote(token_[0]) && (token_.size() == 1 || token_.back() != token_[0]);
  }

  // A copy of the characters in the document's storage.
  std::wstring_view Store(const wchar_t* begin, size_t length) {
    if (length == 0) return {};
    auto* copy = static_cast<wchar_t*>(doc_.Allocate(length * sizeof(wchar_t)));
    std::memcpy(copy, begin, length * sizeof(wchar_t));
    return {copy, length};
  }
  std::wstring_view Store(std::wstring_view s) { return Store(s.data(), s.size()); }
  void AddPendingAttribute(std::wstring_view name, std::wstring_view value) {
    const std::wstring_view storedName = Store(name);
    pendingAttrs_.emplace_back(storedName, Store(value));
  }
  // The pending attributes as the node's array; `keep` leaves them pending. Pending
  // attributes only grow until they are taken, and a node's array is never written to, so
  // the nodes of one tag share a stored array, each seeing its first `count` entries: a tag
  // closed again and again inside an open quote costs no copy per close.
  void SetAttributes(XmlNode* node, bool keep) {
    const size_t count = pendingAttrs_.size();
    if (count > sharedCapacity_) {
      const size_t capacity = keep ? 2 * count : count;
      sharedAttrs_ = static_cast<XmlAttribute*>(doc_.Allocate(capacity * sizeof(XmlAttribute)));
      sharedCapacity_ = capacity;
      sharedCount_ = 0;
    }
    std::uninitialized_copy(pendingAttrs_.begin() + static_cast<std::ptrdiff_t>(sharedCount_), pendingAttrs_.end(),
                            sharedAttrs_ + sharedCount_);
    sharedCount_ = count;
    node->attributes.items_ = sharedAttrs_;
    node->attributes.count_ = count;
    if (!keep) {
      pendingAttrs_.clear();
      sharedAttrs_ = nullptr;
      sharedCount_ = sharedCapacity_ = 0;
    }
  }
  void TakePendingAttributes(XmlNode* node) {
    if (!pendingAttrs_.empty()) SetAttributes(node, false);
  }

  XmlNode* NewNode(XmlNode* parent) {
    // Default-initialised: the members' own initialisers, without zeroing the whole node first.
    XmlNode* node = ::new (doc_.Allocate(sizeof(XmlNode))) XmlNode;
    node->parent = parent;
    if (parent) parent->children.Append(node);
    return node;
  }
  XmlNode* AddChild(std::wstring_view name) { return AddStoredChild(Store(name)); }
  XmlNode* AddStoredChild(std::wstring_view storedName);

  // Each "/>" inside a tag whose quoted value is still open names the next node with one
  // more '/' before the tag's name. The names live right-aligned in one stored buffer of
  // slashes followed by the name, so each is a view into it; the buffer grows with its
  // total size, which keeps the copies in proportion to the input.
  std::wstring_view SlashedName(size_t slashes) const {
    if (slashes == 0) return tagName_;
    return {slashedName_ + slashRoom_ - slashes, slashes + tagName_.size()};
  }
  std::wstring_view StoredTagName() {
    if (tagSlashes_ == 0) return Store(tagName_);
    if (tagSlashes_ > slashRoom_) {
      const size_t room = std::max(tagSlashes_, 2 * slashRoom_ + tagName_.size());
      auto* buffer = static_cast<wchar_t*>(doc_.Allocate((room + tagName_.size()) * sizeof(wchar_t)));
      std::fill_n(buffer, room, L'/');
      std::copy(tagName_.begin(), tagName_.end(), buffer + room);
      slashedName_ = buffer;
      slashRoom_ = room;
    }
    return SlashedName(tagSlashes_);
  }
  void ClearTagName() {
    tagName_.clear();
    tagSlashes_ = slashRoom_ = 0;
  }
  void StartElement(std::wstring_view name);
  ScanError EndElement(std::wstring_view name);

  // Pending text usually arrives in one piece; it then stays in the input and is copied
  // once, into the document. Pieces split by a comment or CDATA are joined in pending_.
  void AppendPending(const wchar_t* begin, const wchar_t* end) {
    if (begin == end) return;
    if (!pendingJoined_) {
      if (spanBegin_ == spanEnd_) {
        spanBegin_ = begin;
        spanEnd_ = end;
        return;
      }
      if (spanEnd_ == begin) {
        spanEnd_ = end;
        return;
      }
      pending_.assign(spanBegin_, spanEnd_);
      pendingJoined_ = true;
    }
    pending_.append(begin, end);
  }
  void ClearPending() {
    spanBegin_ = spanEnd_ = nullptr;
    if (pendingJoined_) pending_.clear();
    pendingJoined_ = false;
  }
  void AssignPendingTrimmed(std::wstring_view& target) {
    const wchar_t* begin = spanBegin_;
    const wchar_t* end = spanEnd_;
    if (pendingJoined_) {
      begin = pending_.data();
      end = begin + pending_.size();
    }
    while (begin < end && IsSpace(*begin)) ++begin;
    while (end > begin && IsSpace(end[-1])) --end;
    // A span of the text is shown where it stands; only a joined text needs keeping.
    target = pendingJoined_ ? Store(begin, static_cast<size_t>(end - begin)) : View(begin, end);
  }

  XmlDocument& doc_;
  const wchar_t* const text_;  // NUL-terminated
  XmlNode* current_ = nullptr;
  bool inTag_ = false;
  bool buffersReserved_ = false;  // those of the general steps
  bool rootHasElement_ = false;  // the document node has a child not named "?..."
  std::wstring token_;
  std::wstring attrName_;
  std::wstring tagName_;  // without the slashes that self-closing put before it
  size_t tagSlashes_ = 0;
  const wchar_t* slashedName_ = nullptr;
  size_t slashRoom_ = 0;
  std::wstring pending_;  // text since the last element start or end, when joined
  const wchar_t* spanBegin_ = nullptr;
  const wchar_t* spanEnd_ = nullptr;
  bool pendingJoined_ = false;
  std::vector<XmlAttribute> pendingAttrs_;  // views of the text or the document's storage
  XmlAttribute* sharedAttrs_ = nullptr;     // stored copy of the first sharedCount_ of them
  size_t sharedCount_ = 0;
  size_t sharedCapacity_ = 0;
};

ScanError XmlScanner::Run(const wchar_t*& errorAt) {
  errorAt = text_;
  try {
    current_ = doc_.root = NewNode(nullptr);
  } catch (const std::bad_alloc&) {
    return ScanError::Memory;
  }
  return Scan(errorAt);
}

ScanError XmlScanner::Scan(const wchar_t*& errorAt) {
  const wchar_t* p = text_;
  ScanError result = ScanError::None;
  try {
    result = ScanLoop(p);
  } catch (const std::bad_alloc&) {
    result = ScanError::Memory;
  }
  errorAt = p;
  return result;
}

ScanError XmlScanner::ScanLoop(const wchar_t*& p) {
  while (*p) {
    if (!inTag_) {
      FastScan(p);
      // Everything up to the next '<' is text: '>', '=', quotes, '/' and '?' included.
      const wchar_t* lt = FindTagStart(p);
      if (!*lt) {
        p = lt;  // what is pending at the end goes nowhere
        break;
      }
      AppendPending(p, lt);
      p = lt;
      // The plain forms "</name>" and "<name a="v" ...>" are by far the most common; they
      // are handled here at once, with the same result as the general steps below.
      if (p[1] == L'/') {
        // Mostly the end tag of the open element, spelt as its start tag was: the name is
        // compared at once, without looking for where it ends. The document node's name
        // is empty and never matches here.
        XmlNode* node = current_;
        const wchar_t* name = p + 2;
        if (ClosesAs(name, node->name.data(), node->name.size())) {
          if (node->text.empty()) AssignPendingTrimmed(node->text);
          ClearPending();
          current_ = node->parent;
          p = name + node->name.size() + 1;
          continue;
        }
        const wchar_t* nameEnd = SkipRun(name);
        if (nameEnd != name && *nameEnd == L'>') {
          p = nameEnd;
          if (ScanError e = EndElement(std::wstring_view(name, nameEnd - name)); e != ScanError::None) return e;
          ++p;
          continue;
        }
      } else if (p[1] != L'!') {
        ScanError e = ScanError::None;
        const Fast taken = TakeStartTag(p, e);
        if (taken == Fast::Done) continue;
        if (taken == Fast::Failed) return e;
      } else if (AtComment(p)) {
        const wchar_t* close = FindClose(p + 4, L'-', L'-');
        if (!close) {
          p += 4;
          return ScanError::EndTagMatch;
        }
        p = close + 3;
        continue;
      } else if (AtCData(p)) {
        const wchar_t* body = p + 9;
        const wchar_t* close = FindClose(body, L']', L']');
        if (!close) {
          p = body;
          return ScanError::EndTagMatch;
        }
        AppendPending(body, close);
        p = close + 3;
        continue;
      } else if (AtDoctype(p)) {
        // The whole declaration is skipped, quoted identifiers and internal subset
        // included; it leaves a leaf that is not the document's element.
        const wchar_t* close = DoctypeEnd(p + 9);
        if (!close) {
          p += 9;
          return ScanError::EndTagMatch;
        }
        NewNode(current_)->name = Store(L"!DOCTYPE", 8);
        p = close + 1;
        continue;
      }
      if (!buffersReserved_) {
        // Only a document with a tag of another form pays for these; the sizes are where
        // the buffers' growth starts (a value of a million quotes grows token_ from 256).
        token_.reserve(256);
        attrName_.reserve(64);
        tagName_.reserve(64);
        pendingAttrs_.reserve(16);
        buffersReserved_ = true;
      }
      token_.clear();
      ClearTagName();
      attrName_.clear();
      inTag_ = true;
      ++p;
      continue;
    }

    const wchar_t c = *p;
    switch (c) {
      case L' ': case L'\t': case L'\n': case L'\r':
        if (tagName_.empty()) {
          if (token_.empty()) return ScanError::InvalidCharacter;
          tagName_.swap(token_);
          token_.clear();
        } else if (attrName_.empty()) {
          if (!token_.empty()) {
            AddPendingAttribute(token_, {});
            token_.clear();
          }
        } else {
          Value v = CompleteValue();
          if (v == Value::Invalid) return ScanError::InvalidCharacter;
          if (v == Value::Open) token_.push_back(c);  // white space inside a quoted value
        }
        ++p;
        break;

      case L'<':
        if (AtComment(p)) {
          const wchar_t* close = FindClose(p + 4, L'-', L'-');
          if (!close) {
            p += 4;
            return ScanError::EndTagMatch;
          }
          p = close + 3;
          break;
        }
        if (!attrName_.empty() && QuoteOpen()) {
          token_.push_back(c);
          ++p;
          break;
        }
        return ScanError::StartTagMatch;

      case L'=':
        if (tagName_.empty() || token_.empty()) return ScanError::InvalidCharacter;
        if (IsQuote(token_[0])) {
          token_.push_back(c);
        } else {
          attrName_.swap(token_);
          token_.clear();
        }
        ++p;
        break;

      case L'"': case L'\'': {
        if (tagName_.empty() || attrName_.empty()) return ScanError::InvalidCharacter;
        // A run of quotes is taken whole: each would find the same state and be added.
        const wchar_t* run = p + 1;
        while (IsQuote(*run)) ++run;
        token_.append(p, run);
        p = run;
        break;
      }

      case L'/': case L'?':
        if (p[1] == L'>') {
          if (ScanError e = SelfClose(p); e != ScanError::None) return e;
          ++p;  // to the '>', which closes the node at once
          if (ScanError e = CloseTag(p); e != ScanError::None) return e;
        } else {
          token_.push_back(c);
        }
        ++p;
        break;

      case L'>':
        if (ScanError e = CloseTag(p); e != ScanError::None) return e;
        ++p;
        break;

      default: {
        if (token_.empty() && attrName_.empty() && !tagName_.empty() && TakeQuotedAttribute(p)) break;
        const wchar_t* run = SkipRun(p + 1);
        token_.append(p, run);
        p = run;
        break;
      }
    }
  }
  if (current_ == doc_.root && !inTag_) return ScanError::None;
  return ScanError::TagMatch;
}

// A whole start tag in one step when it has the plain form (see ScanPlainTag). The
// result, error and position included, is that of the general steps. Anything else is
// left to them untouched (Unhandled); the tag is scanned to its end before anything is
// stored.
XmlScanner::Fast XmlScanner::TakeStartTag(const wchar_t*& p, ScanError& error) {
  PlainTag tag;
  const wchar_t* const q = ScanPlainTag(p, tag);
  if (!q) return Fast::Unhandled;
  const wchar_t* const name = tag.name;

  // q is at the '>' or at the '/' of "/>", where the general steps act on the tag.
  p = q;
  if (current_ == doc_.root && rootHasElement_) {
    error = ScanError::RootTagDuplicate;
    return Fast::Failed;
  }
  const bool selfClosing = *q != L'>';
  if (!selfClosing) {
    AssignPendingTrimmed(current_->text);
    ClearPending();
  }
  XmlNode* child = BuildElement(static_cast<char*>(doc_.Allocate(ElementBytes(tag))), current_, tag);
  if (current_ == doc_.root && name[0] != L'?') rootHasElement_ = true;
  if (selfClosing) {
    // As at the end tag of an element: it takes the text pending before it.
    p = q + 1;
    AssignPendingTrimmed(child->text);
    ClearPending();
  } else {
    current_ = child;
  }
  ++p;
  return Fast::Done;
}

// The storage of an element of a plain start tag: the node and its attributes in one piece
// (their names and values are views of the text).
inline size_t XmlScanner::ElementBytes(const PlainTag& tag) {
  return RoundUp(sizeof(XmlNode)) + tag.count * sizeof(XmlAttribute);
}

// The element of a plain start tag, made in the ElementBytes(tag) bytes at `at` and
// appended to `parent`'s children.
inline XmlNode* XmlScanner::BuildElement(char* at, XmlNode* parent, const PlainTag& tag) {
  XmlNode* child = ::new (at) XmlNode;
  at += RoundUp(sizeof(XmlNode));
  child->parent = parent;
  parent->children.Append(child);
  const size_t count = tag.count;
  auto* items = reinterpret_cast<XmlAttribute*>(at);
  child->name = View(tag.name, tag.nameEnd);
  for (size_t i = 0; i < count; ++i) {
    const PlainTag::Span& span = tag.spans[i];
    ::new (items + i) XmlAttribute(View(span.name, span.nameEnd), View(span.value, span.valueEnd));
  }
  if (count) {
    child->attributes.items_ = items;
    child->attributes.count_ = count;
  }
  return child;
}

// The common forms in a loop of their own: text, plain start tags below the document's
// element, the end tag of the open element spelt as its start tag, comments, and CDATA
// that does not need joining. The state of the parse lives in local variables here: the
// compiler keeps them in registers, where a store into the tree (through char*, which may
// alias anything) would make it reload members. The result is that of the general steps.
// Returns at the '<' (or the text) of anything else, or at the end, with the state
// written back; the general steps go on from there.
void XmlScanner::FastScan(const wchar_t*& pos) {
  if (pendingJoined_) return;
  XmlDocument& doc = doc_;
  XmlNode* const root = doc.root;
  XmlNode* current = current_;
  const wchar_t* textBegin = spanBegin_;  // the pending text, a span of the input
  const wchar_t* textEnd = spanEnd_;
  char* free = doc.free_;
  char* limit = doc.limit_;
  const wchar_t* p = pos;

  auto take = [&](size_t bytes) -> char* {
    if (bytes <= static_cast<size_t>(limit - free)) {
      char* at = free;
      free += bytes;
      return at;
    }
    doc.free_ = free;
    doc.limit_ = limit;
    char* at = static_cast<char*>(doc.AllocateInNewBlock(bytes));
    free = doc.free_;
    limit = doc.limit_;
    return at;
  };
  // The pending text trimmed, a view of the text; nothing is pending afterwards.
  auto takeText = [&]() -> std::wstring_view {
    const wchar_t* begin = textBegin;
    const wchar_t* end = textEnd;
    textBegin = textEnd = nullptr;
    while (begin < end && IsSpace(*begin)) ++begin;
    while (end > begin && IsSpace(end[-1])) --end;
    return View(begin, end);
  };
  // Adds [begin, end) to the pending text; false when it would need joining.
  auto pend = [&](const wchar_t* begin, const wchar_t* end) {
    if (begin == end) return true;
    if (textEnd != begin && textBegin != textEnd && !AllSpace(textBegin, textEnd)) return false;
    if (textEnd != begin) textBegin = begin;
    textEnd = end;
    return true;
  };

  try {
    for (;;) {
      const wchar_t* lt = FindTagStart(p);
      if (!*lt) {
        p = lt;
        break;
      }
      if (!pend(p, lt)) break;
      p = lt;
      if (p[1] == L'/') {
        const wchar_t* name = p + 2;
        const size_t length = current->name.size();
        if (!ClosesAs(name, current->name.data(), length)) break;
        if (current->text.empty()) current->text = takeText();
        textBegin = textEnd = nullptr;
        current = current->parent;
        p = name + length + 1;
        continue;
      }
      if (p[1] == L'!') {
        if (AtComment(p)) {
          const wchar_t* close = FindClose(p + 4, L'-', L'-');
          if (!close) break;
          p = close + 3;
          continue;
        }
        if (!AtCData(p)) break;
        const wchar_t* close = FindClose(p + 9, L']', L']');
        if (!close || !pend(p + 9, close)) break;
        p = close + 3;
        continue;
      }
      // The document's element, and anything before it, take the general steps.
      if (current == root) break;
      PlainTag tag;
      const wchar_t* q = ScanPlainTag(p, tag);
      if (!q) break;
      XmlNode* child = BuildElement(take(ElementBytes(tag)), current, tag);
      if (*q != L'>') {
        // As at the end tag of an element: it takes the text pending before it.
        child->text = takeText();
        p = q + 2;
      } else {
        current->text = takeText();
        current = child;
        p = q + 1;
      }
    }
  } catch (const std::bad_alloc&) {
    pos = p;
    throw;
  }
  current_ = current;
  spanBegin_ = textBegin;
  spanEnd_ = textEnd;
  doc.free_ = free;
  doc.limit_ = limit;
  pos = p;
}

// The common form name="value" read in one step, with the same result as the general
// steps: inside the quotes nothing may occur that would act on its own ('<' may open a
// comment, "/>" and "?>" close the tag). Otherwise nothing is consumed.
bool XmlScanner::TakeQuotedAttribute(const wchar_t*& p) {
  const wchar_t* nameEnd = SkipRun(p);
  if (*nameEnd != L'=' || !IsQuote(nameEnd[1])) return false;
  const wchar_t quote = nameEnd[1];
  const wchar_t* close = nameEnd + 2;
  for (;; ++close) {
    const wchar_t c = *close;
    if (c == quote) break;
    if (c == L'<' || c == L'\0' || ((c == L'/' || c == L'?') && close[1] == L'>')) return false;
  }
  if (IsTagSpace(close[1])) {
    pendingAttrs_.emplace_back(View(p, nameEnd), View(nameEnd + 2, close));  // in place, as written
    p = close + 2;
  } else {
    attrName_.assign(p, nameEnd);
    token_.assign(nameEnd + 1, close + 1);
    p = close + 1;
  }
  return true;
}

// A pending attribute's value ends (white space or '>'): an unquoted token is the value as
// it stands; a quoted one must be closed by its own quote, which may not occur earlier.
XmlScanner::Value XmlScanner::CompleteValue() {
  if (!token_.empty() && IsQuote(token_[0])) {
    const wchar_t quote = token_[0];
    if (token_.size() == 1 || token_.back() != quote) return Value::Open;
    if (token_.find(quote, 1) != token_.size() - 1) return Value::Invalid;
    AddPendingAttribute(attrName_, std::wstring_view(token_).substr(1, token_.size() - 2));
  } else {
    AddPendingAttribute(attrName_, token_);
  }
  attrName_.clear();
  token_.clear();
  return Value::Added;
}

XmlNode* XmlScanner::AddStoredChild(std::wstring_view storedName) {
  XmlNode* child = NewNode(current_);
  child->name = storedName;
  if (current_ == doc_.root && (storedName.empty() || storedName[0] != L'?')) rootHasElement_ = true;
  return child;
}

// The current node's text is what came since its previous child; the new element becomes
// current and takes the pending attributes.
void XmlScanner::StartElement(std::wstring_view name) {
  AssignPendingTrimmed(current_->text);
  ClearPending();
  XmlNode* child = AddChild(name);
  TakePendingAttributes(child);
  current_ = child;
}

// Attributes of an end tag replace the element's; text after the last child counts only
// when nothing before it did.
ScanError XmlScanner::EndElement(std::wstring_view name) {
  XmlNode* node = current_;
  if (!EqualsIgnoreAsciiCase(name, node->name)) return ScanError::EndTagMatch;
  TakePendingAttributes(node);
  if (node->text.empty()) AssignPendingTrimmed(node->text);
  ClearPending();
  ClearTagName();
  if (!node->parent) return ScanError::EndTagMatch;
  current_ = node->parent;
  return ScanError::None;
}

// "/>" or "?>" at p: the element (or processing instruction) is created here and closed by
// the '>' that follows.
ScanError XmlScanner::SelfClose(const wchar_t* p) {
  if (tagName_.empty()) {
    if (token_.empty()) return ScanError::StartTagMatch;
    tagName_.swap(token_);
    token_.clear();
  }
  if (*p == L'?' && (tagSlashes_ || tagName_[0] != L'?')) return ScanError::EndTagMatch;
  if (current_ == doc_.root && rootHasElement_) return ScanError::RootTagDuplicate;
  XmlNode* child = AddStoredChild(StoredTagName());
  if (!pendingAttrs_.empty()) SetAttributes(child, true);  // the closing '>' may still add one
  current_ = child;
  ++tagSlashes_;
  return ScanError::None;
}

// '>' at p inside a tag.
ScanError XmlScanner::CloseTag(const wchar_t* p) {
  if (tagName_.empty()) {
    if (token_.empty()) return ScanError::BlankTag;
    tagName_.swap(token_);
  } else if (!attrName_.empty()) {
    Value v = CompleteValue();
    if (v == Value::Invalid) return ScanError::InvalidCharacter;
    if (v == Value::Open) {
      token_.push_back(L'>');  // still inside the quoted value
      return ScanError::None;
    }
  } else if (!token_.empty()) {
    // A bare word right before '>' counts like one before white space.
    AddPendingAttribute(token_, {});
  }
  token_.clear();

  const wchar_t first = tagSlashes_ ? L'/' : tagName_[0];
  if (first == L'!' || first == L'?') {
    // Declaration or processing instruction: a leaf; the current node stays.
    TakePendingAttributes(AddChild(tagName_));
    ClearTagName();
  } else if (first == L'/') {
    const std::wstring_view name = tagSlashes_ ? SlashedName(tagSlashes_ - 1) : std::wstring_view(tagName_).substr(1);
    if (ScanError e = EndElement(name); e != ScanError::None) return e;
  } else {
    if (current_ == doc_.root && rootHasElement_) return ScanError::RootTagDuplicate;
    StartElement(tagName_);
  }
  inTag_ = false;
  return ScanError::None;
}

void XmlDocument::FreeTree() {
  root = nullptr;
  // Newest first: the allocator then hands the same memory out again in the order the
  // next parse asks for it.
  while (blocks_) {
    Block* next = blocks_->next;
    ::operator delete(blocks_);
    blocks_ = next;
  }
  free_ = limit_ = nullptr;
}

XmlDocument::~XmlDocument() { FreeTree(); }

void XmlNodeList::Append(XmlNode* node) {
  if (last_)
    last_->next_ = node;
  else
    first_ = node;
  last_ = node;
  ++count_;
}

int XmlDocument::Parse(const wchar_t* text) {
  FreeTree();
  error.clear();
  if (!text) text = L"";
  const wchar_t* errorAt = text;
  ScanError result;
  {
    XmlScanner scanner(*this, text);
    result = scanner.Run(errorAt);
  }
  if (result == ScanError::None) return 0;

  if (errorAt == &kEndOfText) errorAt = text + std::wcslen(text);
  long line = 1;
  const wchar_t* lineStart = text;
  for (const wchar_t* q = text; q < errorAt; ++q)
    if (*q == L'\n') {
      ++line;
      lineStart = q + 1;
    }
  const long column = static_cast<long>(errorAt - lineStart) + 1;
  wchar_t message[96];
  std::swprintf(message, sizeof message / sizeof message[0], L"[%ld:%ld] %ls error\n", line, column, ErrorName(result));
  try {
    error = message;
  } catch (const std::bad_alloc&) {
    // Nothing more can be said; the result still reports the failure.
  }
  return -1;
}

XmlNode* XmlDocument::Find(const wchar_t* name, const XmlNode* from, bool recursive) const {
  if (!from) from = root;
  if (!from || !name) return nullptr;
  const std::wstring_view wanted(name);
  XmlNode* node = from->children.front();
  while (node) {
    if (EqualsIgnoreAsciiCase(node->name, wanted)) return node;
    // Next node in pre-order below `from`, walking back up through the parents.
    if (recursive && node->children.front()) {
      node = node->children.front();
      continue;
    }
    while (node != from && !node->NextSibling()) node = node->parent;
    node = node == from ? nullptr : node->NextSibling();
  }
  return nullptr;
}
