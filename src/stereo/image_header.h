#pragma once
// What an image file declares in its header, read from the bytes without decoding, so that
// a hostile size or a sample format we cannot show is refused before any codec allocates.
#include <cstdint>
#include <span>

namespace q3d {

enum class ImageFormat { kUnknown, kBmp, kPng, kJpeg, kTiff, kOpenExr };

struct DeclaredImage {
  ImageFormat format = ImageFormat::kUnknown;
  int64_t width = 0;  // 0 when the header could not be read
  int64_t height = 0;
  bool floatSamples = false;  // floating-point or 32-bit samples (TIFF, OpenEXR)
};

// The most pixels of an image we load: a 24-megapixel photograph passes with room to
// spare, a decompression bomb declaring 16000 x 16000 does not.
inline constexpr int64_t kMaxImagePixels = int64_t{64} << 20;

DeclaredImage ReadImageHeader(std::span<const uint8_t> file);

}  // namespace q3d
