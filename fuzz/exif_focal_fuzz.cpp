// libFuzzer target: any bytes handed to the EXIF focal-length reader give no focal length or
// one a lens of the declared image could have, and every note is one printable line.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/printable_text.h"
#include "stereo/exif_focal.h"
#include "stereo/image_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  const q3d::CameraFocal focal = q3d::ReadExifFocal(bytes, "\"fuzz\"");
  if (focal.exif_px != 0) {
    const q3d::DeclaredImage stored = q3d::ReadImageHeader(bytes);
    const double diagonal =
        std::hypot(static_cast<double>(stored.width), static_cast<double>(stored.height));
    if (!(focal.exif_px >= q3d::kSmallestExifFocalPerDiagonal * diagonal &&
          focal.exif_px <= q3d::kLargestExifFocalPerDiagonal * diagonal))
      std::abort();
  }
  for (const std::string& note : focal.exif_notes)
    if (note.empty() || q3d::PrintableText(note, 10000) != note) std::abort();
  return 0;
}
