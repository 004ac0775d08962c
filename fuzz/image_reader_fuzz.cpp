// libFuzzer target: any bytes handed to the image reader (BMP, PNG, JPEG, TIFF, through the
// header check and the codec) and to the EXIF focal-length reader must give a size or
// nothing, an image or a refusal in one printable line; never an over-read.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/error_stack.h"
#include "base/printable_text.h"
#include "stereo/exif_focal.h"
#include "stereo/image_header.h"
#include "stereo/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const q3d::DeclaredImage declared = q3d::ReadImageHeader(bytes);
  if (declared.width < 0 || declared.height < 0) std::abort();
  q3d::Image image;
  const q3d::Status decoded = q3d::DecodeImageFile(bytes, image, "\"fuzz\"");
  if (decoded &&
      (!image.HasData() || int64_t{image.Width()} * image.Height() > q3d::kMaxImagePixels))
    std::abort();
  if (!decoded && q3d::PrintableText(decoded.Reason(), 1000) != decoded.Reason()) std::abort();
  if (decoded) (void)q3d::ReadExifFocal(bytes, "\"fuzz\"");
  q3d::ClearErrors();
  return 0;
}
