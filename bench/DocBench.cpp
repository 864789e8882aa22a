// Parsing speed of XmlDocument beside pugixml, expat and tinyxml2 on the same documents:
// RSS feeds of about 10 KB, 100 KB and 1 MB and a 5 MB synthetic record file, generated
// here deterministically. Throughput is the document's UTF-8 size over the timed part.
//
// What is timed, the same way for every parser:
// - "<parser>/<doc>": one parse call, which builds the parser's tree. The document object
//   is made before and destroyed (the tree freed) after the timed part.
// - "<parser>+free/<doc>": the whole life of one document: made, parsed, destroyed.
// XmlDocument reads UTF-16 text, as the program calls it; its "+utf8" row adds the
// conversion from UTF-8. expat builds a plain tree of its own through its callbacks.
// pugixml gets the UTF-8 bytes (load_buffer copies them) and is asked for the tree that
// XmlDocument builds: names, attribute values and text as written, CDATA as text. Entity
// references and line ends are left alone by both (the feed reader decodes what it uses
// later); pugixml's default flags would also decode them, work XmlDocument does not do.
// Built natively, wchar_t has 4 bytes (2 on Windows): XmlDocument reads twice the bytes
// of the program's UTF-16 text, and about 3.5 times pugixml's UTF-8 on these documents.
//
// Memory: by default the C library is told to keep what is freed (no trimming, no mapping
// of its own for large blocks), so from the second iteration on every parser builds its
// tree in memory the process already has. Otherwise each parse of a large document pays
// the kernel for thousands of fresh pages, which on a shared virtual machine costs from
// under 1 to over 10 microseconds a page depending on the minute, and the table measures
// that. --fresh-memory keeps the C library's defaults.
//
// "pellora-reader+free/<doc>": the feed reader (parse and interpretation) on the RSS
// documents, to set beside "pellora+free".
//
// Hostile shapes, 1,000,000 characters each ("pellora/hostile-..."): runs of one character
// or piece that make a careless parser go quadratic. Beside the time, each row reports the
// peak of heap bytes in use during one parse beyond those in use before it (counted by the
// replaced operator new and delete, as the C library sizes each block), as a ratio to the text handed to Parse
// ("peak/wchar", its wchar_t bytes), to the same text in UTF-16 ("peak/utf16") and in UTF-8
// ("peak/utf8").
//
// Run: make bench, or cmake --preset bench && cmake --build --preset bench && build/bench/bench/DocBench
// (the table of the docs: --benchmark_min_time=0.5 --benchmark_repetitions=5
// --benchmark_report_aggregates_only=true).
#include <benchmark/benchmark.h>
#include <expat.h>
#include <tinyxml2.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <utility>
#include <vector>

#include "BenchDocs.h"
#include "doc/FeedReader.h"
#include "doc/XmlDocument.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__GLIBC__)
// While `metering`, the heap bytes allocated and not yet freed (as the C library counts
// them) and their highest count. Only the hostile rows meter, around one parse into a fresh
// document, which frees nothing allocated before; the other rows pay only the test.
namespace {
bool metering = false;
size_t liveBytes = 0;
size_t peakBytes = 0;
}  // namespace

void* operator new(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  if (metering) {
    liveBytes += malloc_usable_size(p);
    if (liveBytes > peakBytes) peakBytes = liveBytes;
  }
  return p;
}
void* operator new[](std::size_t size) { return operator new(size); }
// Out of line, so the compiler does not pair its free() with a call of new it inlined.
[[gnu::noinline]] static void Release(void* p) noexcept {
  if (metering && p) liveBytes -= malloc_usable_size(p);
  std::free(p);
}
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }
#endif

namespace {

using bench::Document;
using bench::Documents;
using bench::ToUtf16;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// A text of exactly `length` characters: `head`, then `piece` repeated, cut at the end.
std::string Hostile(const std::string& head, const std::string& piece, size_t length) {
  std::string text = head;
  while (text.size() < length) text += piece;
  text.resize(length);
  return text;
}

std::vector<Document>& HostileDocuments() {
  static std::vector<Document> docs = [] {
    const size_t n = 1000000;
    std::vector<Document> d = {
        {"hostile-open-quote-closes", Hostile("<item x=\"", "/>", n), {}},
        {"hostile-open-quote-attributes", Hostile("<a", " b", n / 2) + Hostile(" x=\"", "/>", n / 2), {}},
        {"hostile-lt", Hostile("", "<", n), {}},
        {"hostile-amp", Hostile("", "&", n), {}},
        {"hostile-dquote", Hostile("", "\"", n), {}},
        {"hostile-squote", Hostile("", "'", n), {}},
        {"hostile-dquote-in-tag", Hostile("<a x=", "\"", n), {}},
        {"hostile-squote-in-tag", Hostile("<a x=", "'", n), {}},
        {"hostile-comment-opens", Hostile("", "<!--", n), {}},
        {"hostile-deep", Hostile("", "<a>", n), {}},
    };
    for (Document& doc : d) doc.utf16 = ToUtf16(doc.utf8);
    return d;
  }();
  return docs;
}

// Times one parse (withFree false) or the whole life of one document (true). `parse` gets
// the document object and returns false on failure; `prepare` runs before the timing.
template <typename Doc, typename Parse, typename Prepare>
void Measure(benchmark::State& state, const Document* doc, bool withFree, Parse parse, Prepare prepare) {
  for (auto _ : state) {
    prepare();
    std::optional<Doc> xml;
    if (!withFree) xml.emplace();
    const auto start = Clock::now();
    if (withFree) xml.emplace();
    if (!parse(*xml)) state.SkipWithError("parse failed");
    if (withFree) xml.reset();
    state.SetIterationTime(Seconds(start));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(doc->utf8.size()));
}

template <typename Doc, typename Parse>
void Measure(benchmark::State& state, const Document* doc, bool withFree, Parse parse) {
  Measure<Doc>(state, doc, withFree, parse, [] {});
}

void Pellora(benchmark::State& state, const Document* doc, bool withFree) {
  Measure<XmlDocument>(state, doc, withFree, [doc](XmlDocument& xml) {
    const bool ok = xml.Parse(doc->utf16.c_str()) == 0;
    benchmark::DoNotOptimize(xml.root);
    return ok;
  });
}

// The feed reader's whole work on a feed: parse, interpretation (titles, links and
// categories decoded) and the tree freed; beside "pellora+free" it shows what the
// interpretation adds.
void PelloraReader(benchmark::State& state, const Document* doc, bool) {
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    FeedDocument feed = ReadFeed(doc->utf16.c_str());
    benchmark::DoNotOptimize(feed.items.data());
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(doc->utf8.size()));
}

// One parse of a hostile text, which may fail: the time, and the peak extra memory of one
// parse into a fresh document.
void PelloraHostile(benchmark::State& state, const Document* doc, bool) {
  Measure<XmlDocument>(state, doc, false, [doc](XmlDocument& xml) {
    xml.Parse(doc->utf16.c_str());
    benchmark::DoNotOptimize(xml.root);
    return true;
  });
#if defined(__GLIBC__)
  size_t extra;
  {
    XmlDocument xml;
    liveBytes = peakBytes = 0;
    metering = true;
    xml.Parse(doc->utf16.c_str());
    metering = false;
    extra = peakBytes;
  }
  const double chars = double(doc->utf16.size());
  state.counters["peak/wchar"] = double(extra) / (chars * sizeof(wchar_t));
  state.counters["peak/utf16"] = double(extra) / (chars * 2);
  state.counters["peak/utf8"] = double(extra) / double(doc->utf8.size());
#endif
}

void PelloraFromUtf8(benchmark::State& state, const Document* doc, bool withFree) {
  Measure<XmlDocument>(state, doc, withFree, [doc](XmlDocument& xml) {
    const std::wstring text = ToUtf16(doc->utf8);
    const bool ok = xml.Parse(text.c_str()) == 0;
    benchmark::DoNotOptimize(xml.root);
    return ok;
  });
}

void Pugixml(benchmark::State& state, const Document* doc, bool withFree) {
  Measure<pugi::xml_document>(state, doc, withFree, [doc](pugi::xml_document& xml) {
    const bool ok = bool(xml.load_buffer(doc->utf8.data(), doc->utf8.size(), pugi::parse_minimal | pugi::parse_cdata));
    benchmark::DoNotOptimize(xml.first_child());
    return ok;
  });
}

// pugixml reading in place (load_buffer_inplace) a copy of the bytes made before the
// timing, as XmlDocument shows the caller's text where it stands instead of copying it.
void PugixmlInPlace(benchmark::State& state, const Document* doc, bool withFree) {
  std::vector<char> bytes;
  Measure<pugi::xml_document>(
      state, doc, withFree,
      [&bytes](pugi::xml_document& xml) {
        const bool ok = bool(xml.load_buffer_inplace(bytes.data(), bytes.size(), pugi::parse_minimal | pugi::parse_cdata));
        benchmark::DoNotOptimize(xml.first_child());
        return ok;
      },
      [&bytes, doc] { bytes.assign(doc->utf8.begin(), doc->utf8.end()); });
}

void Tinyxml2(benchmark::State& state, const Document* doc, bool withFree) {
  Measure<tinyxml2::XMLDocument>(state, doc, withFree, [doc](tinyxml2::XMLDocument& xml) {
    const bool ok = xml.Parse(doc->utf8.data(), doc->utf8.size()) == tinyxml2::XML_SUCCESS;
    benchmark::DoNotOptimize(xml.RootElement());
    return ok;
  });
}

// expat is a stream parser: its callbacks build a plain tree of its own.
struct ExpatNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
  std::string text;
  ExpatNode* parent = nullptr;
  std::vector<std::unique_ptr<ExpatNode>> children;
};

struct ExpatTree {
  ExpatNode root;
  ExpatNode* current = &root;

  static void Start(void* self, const XML_Char* name, const XML_Char** attributes) {
    auto* tree = static_cast<ExpatTree*>(self);
    auto node = std::make_unique<ExpatNode>();
    node->name = name;
    for (size_t i = 0; attributes[i]; i += 2) node->attributes.emplace_back(attributes[i], attributes[i + 1]);
    node->parent = tree->current;
    tree->current->children.push_back(std::move(node));
    tree->current = tree->current->children.back().get();
  }
  static void End(void* self, const XML_Char*) {
    auto* tree = static_cast<ExpatTree*>(self);
    tree->current = tree->current->parent;
  }
  static void Text(void* self, const XML_Char* text, int length) {
    static_cast<ExpatTree*>(self)->current->text.append(text, length);
  }
};

void Expat(benchmark::State& state, const Document* doc, bool withFree) {
  Measure<ExpatTree>(state, doc, withFree, [doc](ExpatTree& tree) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &tree);
    XML_SetElementHandler(parser, &ExpatTree::Start, &ExpatTree::End);
    XML_SetCharacterDataHandler(parser, &ExpatTree::Text);
    const bool ok = XML_Parse(parser, doc->utf8.data(), int(doc->utf8.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    benchmark::DoNotOptimize(tree.root.children.data());
    return ok;
  });
}

}  // namespace

int main(int argc, char** argv) {
  bool freshMemory = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--fresh-memory") == 0) {
      freshMemory = true;
      for (int k = i; k + 1 < argc; ++k) argv[k] = argv[k + 1];
      --argc;
      break;
    }
  }
#if defined(__GLIBC__)
  if (!freshMemory) {
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 1 << 30);
  }
#endif
  std::printf("memory: %s\n", freshMemory ? "C library defaults (freed memory may go back to the system)"
                                          : "freed memory kept by the process");
  using Runner = void (*)(benchmark::State&, const Document*, bool);
  const std::pair<const char*, Runner> parsers[] = {
      {"pellora", Pellora}, {"pellora+utf8", PelloraFromUtf8}, {"pugixml", Pugixml}, {"pugixml-inplace", PugixmlInPlace}, {"expat", Expat}, {"tinyxml2", Tinyxml2}};
  for (const Document& doc : Documents()) {
    std::printf("%s: %zu bytes UTF-8, %zu UTF-16 code units\n", doc.name.c_str(), doc.utf8.size(), doc.utf16.size());
    for (bool withFree : {false, true})
      for (const auto& [name, run] : parsers)
        benchmark::RegisterBenchmark((std::string(name) + (withFree ? "+free/" : "/") + doc.name).c_str(), run, &doc, withFree)
            ->UseManualTime();
  }
  for (const Document& doc : Documents())
    if (doc.name.rfind("rss-", 0) == 0)
      benchmark::RegisterBenchmark(("pellora-reader+free/" + doc.name).c_str(), PelloraReader, &doc, false)
          ->UseManualTime();
  for (const Document& doc : HostileDocuments())
    benchmark::RegisterBenchmark(("pellora/" + doc.name).c_str(), PelloraHostile, &doc, false)->UseManualTime();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
