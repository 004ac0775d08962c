#include "stereo/exif_focal.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>
#include <memory>
#include <vector>

#include "base/file_output.h"
#include "base/printable_text.h"
#include "stereo/image_header.h"

namespace q3d {

namespace {
constexpr unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

struct ExifDataFree {
  void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifPtr = std::unique_ptr<ExifData, ExifDataFree>;

// A TIFF file is itself an EXIF block; with the EXIF header in front libexif reads it.
ExifPtr LoadExif(std::span<const uint8_t> file) {
  if (file.size() < 4 || file.size() > std::numeric_limits<unsigned int>::max() - 6) return nullptr;
  const bool tiff = (file[0] == 'I' && file[1] == 'I' && file[2] == 42 && file[3] == 0) ||
                    (file[0] == 'M' && file[1] == 'M' && file[2] == 0 && file[3] == 42);
  std::vector<unsigned char> bytes;
  if (tiff) bytes.assign(std::begin(kExifHeader), std::end(kExifHeader));
  bytes.insert(bytes.end(), file.begin(), file.end());
  ExifPtr data(exif_data_new());
  if (!data) return nullptr;
  exif_data_unset_option(data.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_load_data(data.get(), bytes.data(), static_cast<unsigned int>(bytes.size()));
  return data;
}

ExifEntry* Find(ExifData* data, ExifTag tag) { return exif_data_get_entry(data, tag); }

// The value of a rational or short entry; NaN when absent or unusable.
double NumberOf(ExifData* data, ExifTag tag) {
  const ExifEntry* entry = Find(data, tag);
  if (!entry || entry->components < 1 || !entry->data) return std::nan("");
  const ExifByteOrder order = exif_data_get_byte_order(data);
  switch (entry->format) {
    case EXIF_FORMAT_RATIONAL: {
      const ExifRational r = exif_get_rational(entry->data, order);
      return r.denominator ? static_cast<double>(r.numerator) / r.denominator : std::nan("");
    }
    case EXIF_FORMAT_SHORT:
      return exif_get_short(entry->data, order);
    case EXIF_FORMAT_LONG:
      return exif_get_long(entry->data, order);
    default:
      return std::nan("");
  }
}

std::string TextOf(ExifData* data, ExifTag tag) {
  ExifEntry* entry = Find(data, tag);
  if (!entry) return {};
  char buffer[128] = {};
  exif_entry_get_value(entry, buffer, sizeof buffer);
  std::string text(buffer);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  return text;
}

// Millimetres per focal-plane resolution unit (2 inch, 3 cm, 4 mm, 5 micrometre); 0 for a
// code the standard does not define.
double UnitMm(double unit) {
  if (unit == 2) return 25.4;
  if (unit == 3) return 10;
  if (unit == 4) return 1;
  if (unit == 5) return 0.001;
  return 0;
}

const char* UnitName(double unit) {
  if (unit == 3) return "cm";
  if (unit == 4) return "mm";
  if (unit == 5) return "micrometre";
  return "inch";
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[200];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

CameraFocal ReadExifFocal(std::span<const uint8_t> bytes, const std::string& shown) {
  CameraFocal focal;
  const DeclaredImage stored = ReadImageHeader(bytes);
  if (stored.width <= 0 || stored.height <= 0 || stored.width > kMaxImagePixels ||
      stored.height > kMaxImagePixels)
    return focal;
  const ExifPtr data = LoadExif(bytes);
  if (!data) return focal;
  ExifData* exif = data.get();
  focal.make = TextOf(exif, EXIF_TAG_MAKE);
  focal.model = TextOf(exif, EXIF_TAG_MODEL);
  const auto width = static_cast<int>(stored.width);
  const auto height = static_cast<int>(stored.height);
  const double diagonal = std::hypot(width, height);
  const auto plausible = [&](double px, const std::string& tags) {
    if (px >= kSmallestExifFocalPerDiagonal * diagonal &&
        px <= kLargestExifFocalPerDiagonal * diagonal)
      return true;
    focal.exif_notes.push_back(
        "The photograph " + shown + " gives " + tags +
        Format(", a focal length of %.4g pixels: no lens for its %g x %g pixels; ignored.", px,
               width, height));
    return false;
  };

  const double equivalent_mm = NumberOf(exif, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM);
  if (equivalent_mm > 0) {
    const double px = FocalPxFrom35mm(equivalent_mm, width, height);
    if (plausible(px, Format("FocalLengthIn35mmFilm %g mm", equivalent_mm))) {
      focal.exif_px = px;
      focal.exif_sigma = Rounded35mmSigma(equivalent_mm);
      return focal;
    }
  }
  const double focal_mm = NumberOf(exif, EXIF_TAG_FOCAL_LENGTH);
  const double resolution = NumberOf(exif, EXIF_TAG_FOCAL_PLANE_X_RESOLUTION);
  if (!(focal_mm > 0 && resolution > 0)) return focal;
  // Without the tag the standard's default applies: inches.
  double unit = NumberOf(exif, EXIF_TAG_FOCAL_PLANE_RESOLUTION_UNIT);
  if (std::isnan(unit)) unit = 2;
  if (UnitMm(unit) == 0) {
    focal.exif_notes.push_back("The photograph " + shown +
                               Format(" gives FocalPlaneResolutionUnit %g, no unit of length; "
                                      "its FocalLength is ignored.",
                                      unit));
    return focal;
  }
  double px = focal_mm * resolution / UnitMm(unit);
  std::string tags =
      Format("FocalLength %g mm with FocalPlaneXResolution %g per ", focal_mm, resolution) +
      UnitName(unit);
  // The resolution counts the pixels of the frame as taken: scale to the stored width.
  const double taken_width = NumberOf(exif, EXIF_TAG_PIXEL_X_DIMENSION);
  if (taken_width > 0) {
    px *= width / taken_width;
    tags += Format(" and PixelXDimension %g", taken_width);
  }
  if (plausible(px, tags)) {
    focal.exif_px = px;
    focal.exif_sigma = kFocalPlaneSigma;
  }
  return focal;
}

CameraFocal ReadExifFocal(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return {};
  return ReadExifFocal(bytes, QuotedText(path));
}

}  // namespace q3d
