#pragma once
// Loading photographs into the colour image layout of this system.
#include <cstdint>
#include <span>
#include <string>

#include "base/result.h"
#include "stereo/bmp_reader.h"
#include "stereo/image.h"

namespace q3d {

// Loads a BMP of 16, 24 or 32 bits per pixel, or a PNG, JPEG or TIFF colour photograph,
// as a 3-channel BGR image with rows aligned to 8 bytes. Refused with a one-line reason:
// missing, unreadable and non-regular files, truncated or damaged data (a codec warning
// about the data counts as damage), sizes beyond kMaxImagePixels (checked from the header,
// before decoding) and floating-point samples. 8-bit-or-less bitmaps are refused with
// kLowDepthMessage, as a warning.
Status LoadBitmapImage(Image& image, const std::string& path);

// The same from the bytes of a file; `shown` names the file in messages.
Status DecodeImageFile(std::span<const uint8_t> bytes, Image& image, const std::string& shown);

// Bits per pixel of a BMP file, or 0 when the file is not a readable BMP. Used by the
// Set Images dialog to refuse low-depth bitmaps before accepting a file.
int BitmapBitsPerPixel(const std::string& path);

}  // namespace q3d
