// libFuzzer target: any bytes handed to the image header reader and the bitmap reader must
// give a size or nothing, a bitmap or a refusal in one printable line; never an over-read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/error_stack.h"
#include "base/printable_text.h"
#include "stereo/bmp_reader.h"
#include "stereo/image_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const q3d::DeclaredImage declared = q3d::ReadImageHeader(bytes);
  if (declared.width < 0 || declared.height < 0) std::abort();
  q3d::Image image;
  const q3d::Status decoded = q3d::DecodeBmp(bytes, image, "\"fuzz\"");
  if (decoded &&
      (!image.HasData() || int64_t{image.Width()} * image.Height() > q3d::kMaxImagePixels))
    std::abort();
  if (!decoded && q3d::PrintableText(decoded.Reason(), 1000) != decoded.Reason()) std::abort();
  q3d::ClearErrors();
  return 0;
}
