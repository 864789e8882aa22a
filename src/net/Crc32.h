#pragma once
// The standard CRC-32 (ISO 3309 / IEEE 802.3, as in zlib and PNG), table-driven.
// Portable (no Windows header).
#include <array>
#include <cstddef>
#include <cstdint>

class Crc32 {
 public:
  // Builds the table for the reflected polynomial 0xEDB88320.
  Crc32();

  void Update(const void* data, size_t size);
  // The CRC of everything passed to Update so far.
  uint32_t Value() const { return ~state_; }

 private:
  std::array<uint32_t, 256> table_;
  uint32_t state_ = 0xFFFFFFFFu;
};
