#pragma once
// Windows bitmaps of 16, 24 and 32 bits per pixel (BI_RGB and BI_BITFIELDS), decoded from
// the bytes of the file by our own reader: every offset and size is checked against them.
#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "stereo/image.h"

namespace q3d {

// `shownName` is the quoted file name the messages use. Bitmaps of 8 bits or less are
// refused with kLowDepthMessage, as a warning.
Status DecodeBmp(std::span<const uint8_t> file, Image& image, const std::string& shownName);

// Bits per pixel of a bitmap header, or 0 when the bytes are not one this reader takes.
int BmpBitsPerPixel(std::span<const uint8_t> head);

inline constexpr const char* kLowDepthMessage =
    "Pixel depth must be greater than 8 bpp. Please, try other file.";

// Bytes of a file's start that hold every bitmap header the reader understands.
inline constexpr size_t kBmpHeadBytes = 14 + 124;

}  // namespace q3d
