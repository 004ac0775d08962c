#include "stereo/image_header.h"

#include <array>
#include <cstdint>
#include <fstream>

namespace q3d {
namespace {

uint32_t BigEndian(const uint8_t* bytes, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | bytes[i];
  return value;
}

// Signature, then the IHDR chunk: length, type, width, height (big-endian).
std::optional<DeclaredSize> PngSize(std::ifstream& in) {
  std::array<uint8_t, 24> head{};
  if (!in.read(reinterpret_cast<char*>(head.data()), head.size())) return std::nullopt;
  constexpr std::array<uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (size_t i = 0; i < kSignature.size(); ++i)
    if (head[i] != kSignature[i]) return std::nullopt;
  if (head[12] != 'I' || head[13] != 'H' || head[14] != 'D' || head[15] != 'R') return std::nullopt;
  return DeclaredSize{BigEndian(&head[16], 4), BigEndian(&head[20], 4)};
}

// Markers after SOI until a start-of-frame, whose header holds the height and width.
std::optional<DeclaredSize> JpegSize(std::ifstream& in) {
  int byte = 0;
  while ((byte = in.get()) != EOF) {
    if (byte != 0xFF) return std::nullopt;  // markers follow each other back to back
    int marker = in.get();
    while (marker == 0xFF) marker = in.get();  // fill bytes
    if (marker == EOF || marker == 0xD9 || marker == 0xDA) return std::nullopt;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    std::array<uint8_t, 2> length{};
    if (!in.read(reinterpret_cast<char*>(length.data()), 2)) return std::nullopt;
    const uint32_t size = BigEndian(length.data(), 2);
    if (size < 2) return std::nullopt;
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      std::array<uint8_t, 5> header{};  // precision, height, width
      if (size < 7 || !in.read(reinterpret_cast<char*>(header.data()), 5)) return std::nullopt;
      return DeclaredSize{BigEndian(&header[3], 2), BigEndian(&header[1], 2)};
    }
    if (!in.seekg(size - 2, std::ios::cur)) return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<DeclaredSize> DeclaredImageSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::array<uint8_t, 2> magic{};
  if (!in.read(reinterpret_cast<char*>(magic.data()), 2)) return std::nullopt;
  if (magic[0] == 0x89 && magic[1] == 'P') {
    in.seekg(0);
    return PngSize(in);
  }
  if (magic[0] == 0xFF && magic[1] == 0xD8) return JpegSize(in);
  return std::nullopt;
}

}  // namespace q3d
