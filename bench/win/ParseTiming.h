#pragma once
// What the Windows parse benchmarks share (bench_parse_ratio, bench/reader-ab): memory that
// is kept for the next parse, a clock, the mean time of one parse and a median. Include it
// in one file of a program only: it replaces operator new and delete.
//
// Memory, as in DocBench: every allocation comes from one allocator that keeps what is
// freed for the next request of its size class; otherwise Wine's heap hands large free
// blocks back to the system and every parse pays for fresh pages, whose price on a shared
// virtual machine depends on the minute.
#include <windows.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

// Free blocks by size class (powers of two), each linked through its first bytes; a block
// carries its class in the 16 bytes before it.
void* freeBlocks[64];

void* Take(size_t size) {
  const unsigned sizeClass = static_cast<unsigned>(std::bit_width(std::max<size_t>(size, 16) - 1));
  if (void* block = freeBlocks[sizeClass]) {
    freeBlocks[sizeClass] = *static_cast<void**>(block);
    return block;
  }
  auto* raw = static_cast<char*>(std::malloc((size_t(1) << sizeClass) + 16));
  if (!raw) return nullptr;
  *reinterpret_cast<unsigned*>(raw) = sizeClass;
  return raw + 16;
}

void Give(void* block) {
  if (!block) return;
  const unsigned sizeClass = *reinterpret_cast<const unsigned*>(reinterpret_cast<uintptr_t>(block) - 16);
  *static_cast<void**>(block) = freeBlocks[sizeClass];
  freeBlocks[sizeClass] = block;
}

}  // namespace

void* operator new(size_t size) {
  if (void* block = Take(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { Give(block); }
void operator delete[](void* block) noexcept { Give(block); }
void operator delete(void* block, size_t) noexcept { Give(block); }
void operator delete[](void* block, size_t) noexcept { Give(block); }

namespace {

double Now() {
  static const double unit = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return 1.0 / double(f.QuadPart);
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return double(t.QuadPart) * unit;
}

// Mean seconds of one parse over about `budget` seconds; `parse` returns false on failure,
// `prepare` runs before the timing.
template <typename Doc, typename Parse, typename Prepare>
double MeanParse(Parse parse, double budget, Prepare prepare) {
  double spent = 0;
  long count = 0;
  while (spent < budget || count < 3) {
    prepare();
    Doc doc;
    const double start = Now();
    if (!parse(doc)) {
      std::fprintf(stderr, "parse failed\n");
      std::exit(1);
    }
    spent += Now() - start;
    ++count;
  }
  return spent / double(count);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace
