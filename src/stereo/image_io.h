#pragma once
// Loading photographs into the colour image layout of this system.
#include <string>

#include "base/result.h"
#include "stereo/image.h"

namespace q3d {

// Loads a BMP of 16, 24 or 32 bits per pixel, or a PNG, JPEG or TIFF colour photograph,
// as a 3-channel BGR image with rows aligned to 8 bytes. 8-bit-or-less bitmaps are refused
// with kLowDepthMessage, as a warning.
Status LoadBitmapImage(Image& image, const std::string& path);

// Bits per pixel of a BMP file, or 0 when the file is not a readable BMP. Used by the
// Set Images dialog to refuse low-depth bitmaps before accepting a file.
int BitmapBitsPerPixel(const std::string& path);

inline constexpr const char* kLowDepthMessage =
    "Pixel depth must be greater than 8 bpp. Please, try other file.";

}  // namespace q3d
