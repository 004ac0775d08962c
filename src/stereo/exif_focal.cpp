#include "stereo/exif_focal.h"

#include <libexif/exif-data.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

namespace q3d {

namespace {
constexpr unsigned char kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

struct ExifDataFree {
  void operator()(ExifData* data) const { exif_data_unref(data); }
};
using ExifPtr = std::unique_ptr<ExifData, ExifDataFree>;

// A TIFF file is itself an EXIF block; with the EXIF header in front libexif reads it.
ExifPtr LoadExif(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return nullptr;
  std::vector<unsigned char> bytes(std::istreambuf_iterator<char>(file), {});
  if (bytes.size() < 4) return nullptr;
  const bool tiff = (bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 42 && bytes[3] == 0) ||
                    (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 42);
  if (tiff) bytes.insert(bytes.begin(), std::begin(kExifHeader), std::end(kExifHeader));
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

// Millimetres per focal-plane resolution unit (2 inch, 3 cm, 4 mm, 5 micrometre).
double UnitMm(double unit) {
  if (unit == 3) return 10;
  if (unit == 4) return 1;
  if (unit == 5) return 0.001;
  return 25.4;
}
}  // namespace

CameraFocal ReadExifFocal(const std::string& path, int width, int height) {
  CameraFocal focal;
  const ExifPtr data = LoadExif(path);
  if (!data || width <= 0 || height <= 0) return focal;
  focal.make = TextOf(data.get(), EXIF_TAG_MAKE);
  focal.model = TextOf(data.get(), EXIF_TAG_MODEL);
  const double equivalent_mm = NumberOf(data.get(), EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM);
  const double focal_mm = NumberOf(data.get(), EXIF_TAG_FOCAL_LENGTH);
  const double resolution = NumberOf(data.get(), EXIF_TAG_FOCAL_PLANE_X_RESOLUTION);
  double px = std::nan("");
  if (equivalent_mm > 0) {
    px = FocalPxFrom35mm(equivalent_mm, width, height);
    focal.exif_sigma = Rounded35mmSigma(equivalent_mm);
  } else if (focal_mm > 0 && resolution > 0) {
    focal.exif_sigma = kFocalPlaneSigma;
    const double unit = NumberOf(data.get(), EXIF_TAG_FOCAL_PLANE_RESOLUTION_UNIT);
    px = focal_mm * resolution / UnitMm(std::isnan(unit) ? 2 : unit);
    // The resolution counts the pixels of the image as taken: scale to this one's width.
    const double taken_width = NumberOf(data.get(), EXIF_TAG_PIXEL_X_DIMENSION);
    if (taken_width > 0) px *= width / taken_width;
  }
  if (std::isfinite(px) && px > 0)
    focal.exif_px = px;
  else
    focal.exif_sigma = 0;
  return focal;
}

}  // namespace q3d
