// Two builds of XmlDocument in one process, as the program runs it (Windows, under Wine):
// the reader of an earlier commit, compiled with its classes renamed (bench/reader-ab does
// that), and the working tree's. Each of the rounds times both on each document of
// BenchDocs.h for about 30 ms each, alternating which goes first, so that both see the same
// machine; the table gives the median time of each and the median of the rounds' ratios.
// A difference of a few percent is the two copies' places in memory, not the reader: the
// script's --same mode puts the earlier reader in both places to show it.
// Usage: reader_ab.exe [rounds [document]]
#include <string>

#include "BenchDocs.h"
#include "ParseTiming.h"
#include "doc/XmlDocument.h"
#define XmlDocument BaseXmlDocument
#define XmlNode BaseXmlNode
#define XmlNodeList BaseXmlNodeList
#define XmlAttributeList BaseXmlAttributeList
#define XmlAttribute BaseXmlAttribute
#define XmlScanner BaseXmlScanner
#include "base/doc/XmlDocument.h"
#undef XmlDocument
#undef XmlNode
#undef XmlNodeList
#undef XmlAttributeList
#undef XmlAttribute
#undef XmlScanner

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 30;
  std::printf("  %-16s %11s %11s %15s\n", "document", "base us", "tree us", "base / tree");
  auto nothing = [] {};
  for (const bench::Document& doc : bench::Documents()) {
    if (argc > 2 && std::wstring(argv[2]) != std::wstring(doc.name.begin(), doc.name.end())) continue;
    const wchar_t* text = doc.utf16.c_str();
    auto base = [&] {
      return MeanParse<BaseXmlDocument>([&](BaseXmlDocument& xml) { return xml.Parse(text) == 0; }, 0.03, nothing);
    };
    auto tree = [&] {
      return MeanParse<XmlDocument>([&](XmlDocument& xml) { return xml.Parse(text) == 0; }, 0.03, nothing);
    };
    std::vector<double> baseTimes, treeTimes, ratios;
    for (int round = 0; round < rounds; ++round) {
      double b, t;
      if (round % 2) {
        t = tree();
        b = base();
      } else {
        b = base();
        t = tree();
      }
      baseTimes.push_back(b);
      treeTimes.push_back(t);
      ratios.push_back(b / t);
    }
    std::printf("  %-16s %11.2f %11.2f %14.3fx\n", doc.name.c_str(), Median(baseTimes) * 1e6, Median(treeTimes) * 1e6,
                Median(ratios));
    std::fflush(stdout);
  }
  return 0;
}
