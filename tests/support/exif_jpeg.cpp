#include "support/exif_jpeg.h"

#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <vector>

namespace q3d::test {
namespace {

constexpr ExifByteOrder kOrder = EXIF_BYTE_ORDER_INTEL;

unsigned char* AddEntry(ExifData* data, ExifIfd ifd, ExifTag tag, ExifFormat format,
                        unsigned components) {
  ExifEntry* entry = exif_entry_new();
  entry->tag = tag;
  entry->format = format;
  entry->components = components;
  entry->size = exif_format_get_size(format) * components;
  entry->data = static_cast<unsigned char*>(std::calloc(entry->size, 1));
  exif_content_add_entry(data->ifd[ifd], entry);
  exif_entry_unref(entry);
  return entry->data;
}

}  // namespace

bool WriteJpegWithExif(const std::string& path, const cv::Mat& image, const ExifTags& tags) {
  ExifData* data = exif_data_new();
  exif_data_set_byte_order(data, kOrder);
  std::strcpy(
      reinterpret_cast<char*>(AddEntry(data, EXIF_IFD_0, EXIF_TAG_MAKE, EXIF_FORMAT_ASCII, 6)),
      "Phone");
  std::strcpy(
      reinterpret_cast<char*>(AddEntry(data, EXIF_IFD_0, EXIF_TAG_MODEL, EXIF_FORMAT_ASCII, 3)),
      "X2");
  if (tags.equivalent_mm)
    exif_set_short(
        AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM, EXIF_FORMAT_SHORT, 1),
        kOrder, static_cast<ExifShort>(tags.equivalent_mm));
  if (tags.focal_mm > 0) {
    exif_set_rational(AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, EXIF_FORMAT_RATIONAL, 1),
                      kOrder, {static_cast<ExifLong>(tags.focal_mm * 100), 100});
    exif_set_rational(
        AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_X_RESOLUTION, EXIF_FORMAT_RATIONAL, 1),
        kOrder, {static_cast<ExifLong>(tags.plane_resolution), tags.divisor});
    exif_set_short(
        AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_RESOLUTION_UNIT, EXIF_FORMAT_SHORT, 1),
        kOrder, static_cast<ExifShort>(tags.unit));
  }
  if (tags.orientation)
    exif_set_short(AddEntry(data, EXIF_IFD_0, EXIF_TAG_ORIENTATION, EXIF_FORMAT_SHORT, 1), kOrder,
                   static_cast<ExifShort>(tags.orientation));
  if (tags.taken_width)
    exif_set_long(AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, EXIF_FORMAT_LONG, 1),
                  kOrder, tags.taken_width);
  unsigned char* block = nullptr;
  unsigned int size = 0;
  exif_data_save_data(data, &block, &size);
  exif_data_unref(data);
  std::vector<uchar> jpeg;
  if (!cv::imencode(".jpg", image, jpeg, {cv::IMWRITE_JPEG_QUALITY, 95})) {
    std::free(block);
    return false;
  }
  const uchar app1[4] = {0xFF, 0xE1, static_cast<uchar>((size + 2) >> 8),
                         static_cast<uchar>((size + 2) & 0xFF)};
  jpeg.insert(jpeg.begin() + 2, block, block + size);
  jpeg.insert(jpeg.begin() + 2, app1, app1 + 4);
  std::free(block);
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  return static_cast<bool>(file);
}

}  // namespace q3d::test
