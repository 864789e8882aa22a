#pragma once
// The documents the parsing benchmarks share (DocBench natively, bench_parse_ratio under
// Wine): RSS feeds of about 10 KB, 100 KB, 1 MB and 5 MB with Korean and English items, and a
// 5 MB synthetic record file, generated deterministically.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Deterministic pseudo-random numbers (a fixed LCG), so every run sees the same bytes.
struct Lcg {
  uint32_t state;
  uint32_t Next() { return state = state * 1664525u + 1013904223u; }
  size_t Below(size_t n) { return (Next() >> 8) % n; }
};

inline const char* const kWordsEn[] = {"market", "apple", "release", "update", "season", "report", "city",
                                       "weather", "league", "museum", "climate", "science", "budget", "music"};
inline const char* const kWordsKo[] = {"서울", "경제", "날씨", "축구", "대통령", "반도체", "수출", "교육",
                                       "문화", "기온", "야구", "전시회", "예산", "과학"};
inline const char* const kCategories[] = {"사회", "경제", "Sports", "Technology", "문화", "World"};

inline std::string Words(Lcg& rng, size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += rng.Below(2) ? kWordsKo[rng.Below(14)] : kWordsEn[rng.Below(14)];
  }
  return out;
}

// An RSS 2.0 feed with Korean and English items, entities, CDATA, comments and categories.
inline std::string MakeFeed(size_t targetBytes, uint32_t seed) {
  Lcg rng{seed};
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<rss version=\"2.0\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
      "<channel>\n  <title>오늘의 뉴스 &amp; 해설</title>\n  <link>http://news.example.kr/</link>\n"
      "  <description>매일 업데이트되는 주요 뉴스 - daily news</description>\n  <language>ko</language>\n"
      "  <atom:link href=\"http://news.example.kr/rss.xml\" rel=\"self\" type=\"application/rss+xml\" />\n";
  const std::string tail = "</channel>\n</rss>\n";
  for (size_t n = 0; xml.size() + tail.size() < targetBytes; ++n) {
    const std::string id = std::to_string(100000 + n);
    xml += "  <item>\n    <title>" + Words(rng, 4 + rng.Below(6)) + " &quot;" + Words(rng, 1) + "&quot;</title>\n";
    xml += "    <link>http://news.example.kr/article/" + id + "?src=rss&amp;ref=main</link>\n";
    xml += "    <category>" + std::string(kCategories[rng.Below(6)]) + "</category>\n";
    xml += "    <dc:creator>" + Words(rng, 1) + "</dc:creator>\n";
    xml += "    <pubDate>Mon, 07 Jan 2008 07:" + std::to_string(10 + rng.Below(50)) + ":00 +0900</pubDate>\n";
    xml += "    <guid isPermaLink=\"false\">news-" + id + "</guid>\n";
    if (n % 3 == 0) {
      xml += "    <description><![CDATA[<p>" + Words(rng, 20 + rng.Below(30)) + "</p><a href=\"http://news.example.kr/a?x=1&y=2\">" +
             Words(rng, 2) + "</a>]]></description>\n";
    } else {
      xml += "    <description>&lt;p&gt;" + Words(rng, 20 + rng.Below(30)) + " &#8230;&lt;/p&gt;</description>\n";
    }
    if (n % 7 == 0) xml += "    <!-- syndicated " + id + " -->\n";
    xml += "  </item>\n";
  }
  return xml + tail;
}

// Records with attributes, nesting and short texts: many small elements.
inline std::string MakeSynthetic(size_t targetBytes) {
  Lcg rng{7};
  std::string xml = "<?xml version=\"1.0\"?>\n<data generator=\"bench\">\n";
  for (size_t n = 0; xml.size() < targetBytes; ++n) {
    xml += "<record id=\"" + std::to_string(n) + "\" kind=\"k" + std::to_string(rng.Below(9)) + "\" flag='on'>";
    for (int f = 0; f < 4; ++f)
      xml += "<field name=\"f" + std::to_string(f) + "\">" + Words(rng, 1 + rng.Below(3)) + "</field>";
    xml += "<group><a x=\"1\"/><b>" + std::to_string(rng.Next()) + "</b><c><d>" + Words(rng, 2) + "</d></c></group>";
    xml += "</record>\n";
  }
  return xml + "</data>\n";
}

// UTF-8 to UTF-16 code units (the documents are valid UTF-8).
inline std::wstring ToUtf16(const std::string& in) {
  std::wstring out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    const unsigned char b = static_cast<unsigned char>(in[i]);
    uint32_t cp;
    size_t len;
    if (b < 0x80) {
      cp = b;
      len = 1;
    } else if (b < 0xE0) {
      cp = b & 0x1F;
      len = 2;
    } else if (b < 0xF0) {
      cp = b & 0x0F;
      len = 3;
    } else {
      cp = b & 0x07;
      len = 4;
    }
    for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
    if (cp >= 0x10000) {
      out.push_back(wchar_t(0xD800 + ((cp - 0x10000) >> 10)));
      out.push_back(wchar_t(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    } else {
      out.push_back(wchar_t(cp));
    }
    i += len;
  }
  return out;
}

struct Document {
  std::string name;
  std::string utf8;
  std::wstring utf16;
};

inline std::vector<Document>& Documents() {
  static std::vector<Document> docs = [] {
    std::vector<Document> d;
    d.push_back({"rss-10KB", MakeFeed(10 * 1024, 1), {}});
    d.push_back({"rss-100KB", MakeFeed(100 * 1024, 2), {}});
    d.push_back({"rss-1MB", MakeFeed(1024 * 1024, 3), {}});
    d.push_back({"rss-5MB", MakeFeed(5 * 1024 * 1024, 4), {}});
    d.push_back({"synthetic-5MB", MakeSynthetic(5 * 1024 * 1024), {}});
    for (Document& doc : d) doc.utf16 = ToUtf16(doc.utf8);
    return d;
  }();
  return docs;
}

}  // namespace bench
