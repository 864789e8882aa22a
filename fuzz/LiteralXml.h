#pragma once
// The XML reader written the slow, obvious way: one character per step, line and column
// counted as it goes, every rule checked in its written order, the document level checked
// by looking at all its children. The fuzz target holds XmlDocument to exactly this.
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/CharClass.h"

struct LiteralNode {
  std::wstring name, text;
  std::vector<std::pair<std::wstring, std::wstring>> attributes;
  LiteralNode* parent = nullptr;
  std::vector<std::unique_ptr<LiteralNode>> children;
};

struct LiteralParse {
  int result = 0;
  std::wstring error;
  std::unique_ptr<LiteralNode> root = std::make_unique<LiteralNode>();

  explicit LiteralParse(const wchar_t* s) { result = Run(s); }

 private:
  static bool Quote(wchar_t c) { return c == L'"' || c == L'\''; }
  static std::wstring Trim(const std::wstring& t) {
    size_t b = 0, e = t.size();
    while (b < e && IsWideSpace(t[b])) ++b;
    while (e > b && IsWideSpace(t[e - 1])) --e;
    return t.substr(b, e - b);
  }
  static bool SameIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      wchar_t x = a[i], y = b[i];
      if (x >= L'A' && x <= L'Z') x += 32;
      if (y >= L'A' && y <= L'Z') y += 32;
      if (x != y) return false;
    }
    return true;
  }

  long line = 1, column = 1;
  size_t i = 0;
  const wchar_t* s = nullptr;
  bool inTag = false;
  std::wstring token, attrName, tagName, pendingText;
  std::vector<std::pair<std::wstring, std::wstring>> pendingAttrs;
  LiteralNode* current = nullptr;

  void Step() {
    if (s[i] == L'\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
    ++i;
  }
  int Fail(const wchar_t* what) {
    wchar_t buffer[96];
    std::swprintf(buffer, 96, L"[%ld:%ld] %ls error\n", line, column, what);
    error = buffer;
    return -1;
  }
  bool QuoteOpen() const {
    return !token.empty() && Quote(token[0]) && (token.size() == 1 || token.back() != token[0]);
  }
  bool DocumentHasElement() const {
    for (const auto& child : root->children)
      if ((child->name.empty() || child->name[0] != L'?') && child->name != L"!DOCTYPE") return true;
    return false;
  }
  LiteralNode* Add(const std::wstring& name) {
    auto node = std::make_unique<LiteralNode>();
    node->name = name;
    node->parent = current;
    current->children.push_back(std::move(node));
    return current->children.back().get();
  }
  // 0 added, 1 quote still open, -1 invalid.
  int EndValue() {
    if (token.empty() || !Quote(token[0])) {
      pendingAttrs.emplace_back(attrName, token);
    } else if (token.size() > 1 && token.back() == token[0]) {
      if (token.find(token[0], 1) != token.size() - 1) return -1;
      pendingAttrs.emplace_back(attrName, token.substr(1, token.size() - 2));
    } else {
      return 1;
    }
    attrName.clear();
    token.clear();
    return 0;
  }
  int Gt() {
    if (tagName.empty()) {
      if (token.empty()) return Fail(L"Blank tag");
      tagName = token;
    } else if (!attrName.empty()) {
      int v = EndValue();
      if (v < 0) return Fail(L"Invalid charater");
      if (v == 1) {
        token += L'>';
        return 1;
      }
    } else if (!token.empty()) {
      pendingAttrs.emplace_back(token, L"");
    }
    token.clear();
    if (tagName[0] == L'!' || tagName[0] == L'?') {
      Add(tagName)->attributes = pendingAttrs;
      tagName.clear();
      pendingAttrs.clear();
    } else if (tagName[0] == L'/') {
      if (!SameIgnoringCase(tagName.substr(1), current->name)) return Fail(L"End tag match");
      if (!pendingAttrs.empty()) current->attributes = pendingAttrs;
      pendingAttrs.clear();
      if (current->text.empty()) current->text = Trim(pendingText);
      pendingText.clear();
      tagName.clear();
      if (!current->parent) return Fail(L"End tag match");
      current = current->parent;
    } else {
      if (current == root.get() && DocumentHasElement()) return Fail(L"Root tag duplicate");
      current->text = Trim(pendingText);
      pendingText.clear();
      LiteralNode* child = Add(tagName);
      child->attributes = pendingAttrs;
      pendingAttrs.clear();
      current = child;
    }
    inTag = false;
    return 0;
  }

  int Run(const wchar_t* text) {
    s = text;
    current = root.get();
    while (s[i]) {
      const wchar_t c = s[i];
      if (c == L' ' || c == L'\t' || c == L'\n' || c == L'\r') {
        if (!inTag) {
          token += c;
        } else if (tagName.empty()) {
          if (token.empty()) return Fail(L"Invalid charater");
          tagName = token;
          token.clear();
        } else if (attrName.empty()) {
          if (!token.empty()) pendingAttrs.emplace_back(token, L"");
          token.clear();
        } else {
          int v = EndValue();
          if (v < 0) return Fail(L"Invalid charater");
          if (v == 1) token += c;
        }
      } else if (c == L'<') {
        if (!inTag && std::wcsncmp(s + i, L"<![CDATA[", 9) == 0) {
          const wchar_t* close = std::wcsstr(s + i + 9, L"]]>");
          for (int k = 0; k < 9; ++k) Step();
          if (!close) return Fail(L"End tag match");
          while (s + i < close) {
            token += s[i];
            Step();
          }
          for (int k = 0; k < 3; ++k) Step();
          continue;
        }
        if (!inTag && s[i + 1] == L'!' && SameIgnoringCase(std::wstring(s + i + 2, wcsnlen(s + i + 2, 7)), L"DOCTYPE")) {
          // A document type declaration: skipped whole (quotes, an internal subset in
          // brackets, comments in it); a leaf that is not the document's element.
          for (int k = 0; k < 9; ++k) Step();
          size_t j = i;  // looked ahead first: an unclosed one fails where its keyword ends
          wchar_t quote = 0;
          int depth = 0;
          for (;; ++j) {
            const wchar_t d = s[j];
            if (!d) return Fail(L"End tag match");
            if (quote) {
              if (d == quote) quote = 0;
            } else if (d == L'"' || d == L'\'') {
              quote = d;
            } else if (d == L'[') {
              ++depth;
            } else if (d == L']') {
              if (depth) --depth;
            } else if (depth && std::wcsncmp(s + j, L"<!--", 4) == 0) {
              const wchar_t* close = std::wcsstr(s + j + 4, L"-->");
              if (!close) return Fail(L"End tag match");
              j = static_cast<size_t>(close - s) + 2;
            } else if (d == L'>' && depth == 0) {
              break;
            }
          }
          while (i < j) Step();
          pendingText += token;
          token.clear();
          Add(L"!DOCTYPE");
          Step();
          continue;
        }
        if (std::wcsncmp(s + i, L"<!--", 4) == 0) {
          const wchar_t* close = std::wcsstr(s + i + 4, L"-->");
          for (int k = 0; k < 4; ++k) Step();
          if (!close) return Fail(L"End tag match");
          while (s + i < close + 3) Step();
          continue;
        }
        if (!attrName.empty() && QuoteOpen()) {
          token += c;
        } else if (inTag) {
          return Fail(L"Start tag match");
        } else {
          pendingText += token;
          token.clear();
          tagName.clear();
          attrName.clear();
          inTag = true;
        }
      } else if (c == L'=' && inTag) {
        if (tagName.empty() || token.empty()) return Fail(L"Invalid charater");
        if (Quote(token[0])) {
          token += c;
        } else {
          attrName = token;
          token.clear();
        }
      } else if (Quote(c) && inTag) {
        if (tagName.empty() || attrName.empty()) return Fail(L"Invalid charater");
        token += c;
      } else if ((c == L'/' || c == L'?') && inTag && s[i + 1] == L'>') {
        if (tagName.empty()) {
          if (token.empty()) return Fail(L"Start tag match");
          tagName = token;
          token.clear();
        }
        if (c == L'?' && tagName[0] != L'?') return Fail(L"End tag match");
        if (current == root.get() && DocumentHasElement()) return Fail(L"Root tag duplicate");
        LiteralNode* child = Add(tagName);
        child->attributes = pendingAttrs;
        current = child;
        tagName = L"/" + tagName;
        Step();
        if (Gt() < 0) return -1;
      } else if (c == L'>' && inTag) {
        if (Gt() < 0) return -1;
      } else {
        token += c;
      }
      Step();
    }
    if (current == root.get() && !inTag) return 0;
    return Fail(L"Tag match");
  }
};
