#pragma once
// Building expected byte layouts by hand, and saving a document to bytes.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/archive.h"
#include "project/project_doc.h"

namespace q3d::test {

struct ByteWriter {
  std::vector<uint8_t> bytes;
  template <typename T>
  ByteWriter& Raw(T v) {
    uint8_t b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    bytes.insert(bytes.end(), b, b + sizeof(T));
    return *this;
  }
  ByteWriter& I32(int32_t v) { return Raw(v); }
  ByteWriter& U16(uint16_t v) { return Raw(v); }
  ByteWriter& U32(uint32_t v) { return Raw(v); }
  ByteWriter& F64(double v) { return Raw(v); }
  ByteWriter& Zeros(size_t n) {
    bytes.insert(bytes.end(), n, 0);
    return *this;
  }
  ByteWriter& Text(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  ByteWriter& Text4(const std::string& s) {
    Text(s);
    return Zeros(4 - s.size());
  }
};

inline std::vector<uint8_t> SaveToBytes(CProjectDoc& doc) {
  Archive ar = Archive::ForStoring();
  doc.Serialize(ar);
  return ar.TakeBuffer();
}

}  // namespace q3d::test
