#include "stereo/image_header.h"

#include <array>
#include <cstdlib>

namespace q3d {
namespace {

class Reader {
 public:
  Reader(std::span<const uint8_t> bytes, bool bigEndian) : bytes_(bytes), big_(bigEndian) {}
  bool Has(uint64_t at, uint64_t size) const {
    return at <= bytes_.size() && size <= bytes_.size() - at;
  }
  // Reads `size` bytes (1 to 4) at `at`; 0 past the end (callers check Has first).
  uint32_t Get(uint64_t at, int size) const {
    if (!Has(at, static_cast<uint64_t>(size))) return 0;
    uint32_t value = 0;
    for (int i = 0; i < size; ++i) {
      const uint32_t b = bytes_[static_cast<size_t>(at) + static_cast<size_t>(i)];
      value |= big_ ? b << (8 * (size - 1 - i)) : b << (8 * i);
    }
    return value;
  }

 private:
  std::span<const uint8_t> bytes_;
  bool big_;
};

bool StartsWith(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> magic) {
  if (bytes.size() < magic.size()) return false;
  size_t i = 0;
  for (const uint8_t m : magic)
    if (bytes[i++] != m) return false;
  return true;
}

// Signature, then the IHDR chunk: length, type, width, height (big-endian).
void ReadPng(std::span<const uint8_t> bytes, DeclaredImage& out) {
  const Reader r(bytes, true);
  if (!r.Has(0, 24) || r.Get(12, 4) != 0x49484452u) return;  // "IHDR"
  out.width = r.Get(16, 4);
  out.height = r.Get(20, 4);
}

// Markers after SOI until a start-of-frame, whose header holds the height and width.
void ReadJpeg(std::span<const uint8_t> bytes, DeclaredImage& out) {
  const Reader r(bytes, true);
  uint64_t at = 2;
  while (r.Has(at, 2)) {
    if (r.Get(at, 1) != 0xFF) return;  // markers follow each other back to back
    ++at;
    while (r.Has(at, 1) && r.Get(at, 1) == 0xFF) ++at;  // fill bytes
    if (!r.Has(at, 1)) return;
    const uint32_t marker = r.Get(at++, 1);
    if (marker == 0xD9 || marker == 0xDA) return;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (!r.Has(at, 2)) return;
    const uint32_t length = r.Get(at, 2);
    if (length < 2) return;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      if (length < 7 || !r.Has(at + 2, 5)) return;  // precision, height, width
      out.height = r.Get(at + 3, 2);
      out.width = r.Get(at + 5, 2);
      return;
    }
    at += length;
  }
}

// The first directory: width, length, bits per sample and sample format.
void ReadTiff(std::span<const uint8_t> bytes, bool bigEndian, DeclaredImage& out) {
  const Reader r(bytes, bigEndian);
  const uint64_t directory = r.Get(4, 4);
  if (!r.Has(directory, 2)) return;
  const uint32_t entries = r.Get(directory, 2);
  if (!r.Has(directory + 2, uint64_t{entries} * 12)) return;
  int64_t width = 0, height = 0;
  for (uint32_t i = 0; i < entries; ++i) {
    const uint64_t e = directory + 2 + uint64_t{i} * 12;
    const uint32_t tag = r.Get(e, 2);
    const uint32_t type = r.Get(e + 2, 2);
    const uint32_t count = r.Get(e + 4, 4);
    // The first value: SHORTs sit in the value field while two of them fit, LONGs while
    // one does; more are stored at the offset the field holds.
    const int size = type == 3 ? 2 : 4;
    const uint64_t at =
        uint64_t{count} * static_cast<uint64_t>(size) <= 4 ? e + 8 : r.Get(e + 8, 4);
    const uint32_t value = r.Get(at, size);
    if (tag == 256) width = value;
    if (tag == 257) height = value;
    if (tag == 258 && value > 16) out.floatSamples = true;  // bits per sample
    if (tag == 339 && value == 3) out.floatSamples = true;  // IEEE floating point
    if (tag == 262 && (value == 32844 || value == 32845)) out.floatSamples = true;  // LogL(uv)
  }
  out.width = width;
  out.height = height;
}

// BITMAPINFOHEADER and later: width and height are signed 32-bit at 18 and 22; the
// 12-byte core header of OS/2 has 16-bit ones.
void ReadBmp(std::span<const uint8_t> bytes, DeclaredImage& out) {
  const Reader r(bytes, false);
  if (!r.Has(14, 4)) return;
  const uint32_t infoSize = r.Get(14, 4);
  if (infoSize == 12 && r.Has(18, 4)) {
    out.width = r.Get(18, 2);
    out.height = r.Get(20, 2);
  } else if (infoSize >= 40 && r.Has(18, 8)) {
    out.width = static_cast<int32_t>(r.Get(18, 4));
    out.height = std::llabs(static_cast<int32_t>(r.Get(22, 4)));
  }
}

}  // namespace

DeclaredImage ReadImageHeader(std::span<const uint8_t> file) {
  DeclaredImage out;
  if (StartsWith(file, {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'})) {
    out.format = ImageFormat::kPng;
    ReadPng(file, out);
  } else if (StartsWith(file, {0xFF, 0xD8})) {
    out.format = ImageFormat::kJpeg;
    ReadJpeg(file, out);
  } else if (StartsWith(file, {'I', 'I', 42, 0}) || StartsWith(file, {'M', 'M', 0, 42})) {
    out.format = ImageFormat::kTiff;
    ReadTiff(file, file[0] == 'M', out);
  } else if (StartsWith(file, {'B', 'M'})) {
    out.format = ImageFormat::kBmp;
    ReadBmp(file, out);
  } else if (StartsWith(file, {0x76, 0x2F, 0x31, 0x01})) {
    out.format = ImageFormat::kOpenExr;
    out.floatSamples = true;
  }
  if (out.width < 0 || out.height < 0) out.width = out.height = 0;
  return out;
}

}  // namespace q3d
