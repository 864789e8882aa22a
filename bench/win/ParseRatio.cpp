// Parsing speed of XmlDocument as a multiple of pugixml's, as the program runs it: built for
// Windows, where wchar_t has 2 bytes, run under Wine (the code runs on the processor
// unchanged). The documents and what is timed are DocBench's "pellora/<doc>" and
// "pugixml/<doc>" rows: one parse into a document object made before the timing and
// destroyed after it; pugixml reads the UTF-8 bytes with parse_minimal | parse_cdata
// (names, values and text as written, CDATA as text, as XmlDocument builds its tree), as
// DocBench copying the bytes (load_buffer) and reading a copy made before the timing in
// place (load_buffer_inplace), as XmlDocument shows the caller's text where it stands.
// Each of 30 rounds times the two parsers one after the other, each for about 50 ms (the
// mean over that many parses); the table gives the median of the 30 means of each.
//
// Both parsers' memory comes from one allocator that keeps what is freed (ParseTiming.h).
//
// Built only when PELLORA_PUGIXML_SOURCE names pugixml's source folder (make bench-win
// fetches it from Debian's archive). Usage: bench_parse_ratio.exe [rounds [document]]
#include <pugixml.hpp>
#include <string>

#include "BenchDocs.h"
#include "ParseTiming.h"
#include "doc/XmlDocument.h"

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 30;
  pugi::set_memory_management_functions(Take, Give);
  std::printf("  %-16s %11s %11s %17s %12s %12s\n", "document", "pellora us", "pugixml us", "speed vs pugixml",
              "in place us", "vs in place");
  constexpr unsigned kFlags = pugi::parse_minimal | pugi::parse_cdata;
  auto nothing = [] {};
  for (const bench::Document& doc : bench::Documents()) {
    if (argc > 2 && std::wstring(argv[2]) != std::wstring(doc.name.begin(), doc.name.end())) continue;
    std::vector<double> ours, pugi, inPlace;
    std::vector<char> bytes;  // pugixml's copy to read in place, made before the timing
    for (int round = 0; round < rounds; ++round) {
      ours.push_back(MeanParse<XmlDocument>(
          [&](XmlDocument& xml) { return xml.Parse(doc.utf16.c_str()) == 0 && xml.root; }, 0.05, nothing));
      pugi.push_back(MeanParse<pugi::xml_document>(
          [&](pugi::xml_document& xml) {
            return bool(xml.load_buffer(doc.utf8.data(), doc.utf8.size(), kFlags)) && xml.first_child();
          },
          0.05, nothing));
      inPlace.push_back(MeanParse<pugi::xml_document>(
          [&](pugi::xml_document& xml) {
            return bool(xml.load_buffer_inplace(bytes.data(), bytes.size(), kFlags)) && xml.first_child();
          },
          0.05, [&] { bytes.assign(doc.utf8.begin(), doc.utf8.end()); }));
    }
    const double a = Median(ours) * 1e6, b = Median(pugi) * 1e6, c = Median(inPlace) * 1e6;
    std::printf("  %-16s %11.1f %11.1f %16.2fx %12.1f %11.2fx\n", doc.name.c_str(), a, b, b / a, c, c / a);
    std::fflush(stdout);
  }
  return 0;
}
