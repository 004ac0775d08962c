// Writes seeds for the image and EXIF targets into the folder given: JPEG photographs with
// the tags a camera writes (upright and turned a quarter), and a TIFF whose first directory
// carries the same tags.
#include <libexif/exif-data.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <string>

#include "support/exif_jpeg.h"

namespace {

bool WriteTiffWithExif(const std::string& path) {
  // libexif saves the block as "Exif\0\0" and a TIFF structure: without the header it is a
  // TIFF file whose first directory declares a 64 x 48 image.
  ExifData* data = exif_data_new();
  exif_data_set_byte_order(data, EXIF_BYTE_ORDER_MOTOROLA);
  constexpr ExifByteOrder kOrder = EXIF_BYTE_ORDER_MOTOROLA;
  const auto add = [&](ExifIfd ifd, ExifTag tag, ExifFormat format) {
    ExifEntry* entry = exif_entry_new();
    entry->tag = tag;
    entry->format = format;
    entry->components = 1;
    entry->size = exif_format_get_size(format);
    entry->data = static_cast<unsigned char*>(std::calloc(entry->size, 1));
    exif_content_add_entry(data->ifd[ifd], entry);
    exif_entry_unref(entry);
    return entry->data;
  };
  exif_set_long(add(EXIF_IFD_0, EXIF_TAG_IMAGE_WIDTH, EXIF_FORMAT_LONG), kOrder, 64);
  exif_set_long(add(EXIF_IFD_0, EXIF_TAG_IMAGE_LENGTH, EXIF_FORMAT_LONG), kOrder, 48);
  exif_set_short(add(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH_IN_35MM_FILM, EXIF_FORMAT_SHORT), kOrder,
                 28);
  exif_set_rational(add(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_LENGTH, EXIF_FORMAT_RATIONAL), kOrder,
                    {42, 10});
  exif_set_rational(add(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_X_RESOLUTION, EXIF_FORMAT_RATIONAL),
                    kOrder, {2000, 1});
  exif_set_short(add(EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_RESOLUTION_UNIT, EXIF_FORMAT_SHORT),
                 kOrder, 3);
  unsigned char* block = nullptr;
  unsigned int size = 0;
  exif_data_save_data(data, &block, &size);
  exif_data_unref(data);
  if (!block || size <= 6) return false;
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(block) + 6, size - 6);
  std::free(block);
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string folder = argv[1];
  cv::Mat image(48, 64, CV_8UC3);
  cv::randu(image, cv::Scalar::all(0), cv::Scalar::all(255));
  q3d::test::ExifTags tags{
      .equivalent_mm = 26, .focal_mm = 4.2, .plane_resolution = 2000, .taken_width = 4000};
  bool ok = q3d::test::WriteJpegWithExif(folder + "/seed-exif.jpg", image, tags);
  tags.equivalent_mm = 0;
  tags.orientation = 6;
  ok = ok && q3d::test::WriteJpegWithExif(folder + "/seed-exif-turned.jpg", image, tags);
  ok = ok && WriteTiffWithExif(folder + "/seed-exif.tif");
  ok = ok && cv::imwrite(folder + "/seed-plain.tif", image);
  if (!ok) std::fprintf(stderr, "exif_seeds: could not write the seeds\n");
  return ok ? 0 : 1;
}
