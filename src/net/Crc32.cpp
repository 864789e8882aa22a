#include "net/Crc32.h"

Crc32::Crc32() {
  for (uint32_t index = 0; index < 256; ++index) {
    uint32_t value = index;
    for (int bit = 0; bit < 8; ++bit) value = (value & 1u) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
    table_[index] = value;
  }
}

void Crc32::Update(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  uint32_t value = state_;
  for (size_t i = 0; i < size; ++i) value = (value >> 8) ^ table_[(value ^ bytes[i]) & 0xFFu];
  state_ = value;
}
