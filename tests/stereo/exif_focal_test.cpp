#include "stereo/exif_focal.h"

#include <gtest/gtest.h>
#include <libexif/exif-data.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <vector>

#include "base/archive.h"
#include "stereo/camera.h"
#include "stereo/focal_record.h"
#include "stereo/stereo_pair.h"

namespace q3d {
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

struct Tags {
  int equivalent_mm = 0;  // FocalLengthIn35mmFilm, 0 for none
  double focal_mm = 0;    // FocalLength with a focal-plane resolution in px/cm
  double pixels_per_cm = 0;
  int taken_width = 0;  // PixelXDimension, 0 for none
};

// A 640 x 480 JPEG carrying the tags, written the way cameras do (APP1 after SOI).
std::filesystem::path TaggedJpeg(const std::string& name, const Tags& tags) {
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
        kOrder, {static_cast<ExifLong>(tags.pixels_per_cm), 1});
    exif_set_short(
        AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_FOCAL_PLANE_RESOLUTION_UNIT, EXIF_FORMAT_SHORT, 1),
        kOrder, 3);
  }
  if (tags.taken_width)
    exif_set_long(AddEntry(data, EXIF_IFD_EXIF, EXIF_TAG_PIXEL_X_DIMENSION, EXIF_FORMAT_LONG, 1),
                  kOrder, static_cast<ExifLong>(tags.taken_width));
  unsigned char* block = nullptr;
  unsigned int size = 0;
  exif_data_save_data(data, &block, &size);
  exif_data_unref(data);
  std::vector<uchar> jpeg;
  cv::imencode(".jpg", cv::Mat(480, 640, CV_8UC3, cv::Scalar(90, 120, 150)), jpeg);
  const uchar app1[4] = {0xFF, 0xE1, static_cast<uchar>((size + 2) >> 8),
                         static_cast<uchar>((size + 2) & 0xFF)};
  jpeg.insert(jpeg.begin() + 2, block, block + size);
  jpeg.insert(jpeg.begin() + 2, app1, app1 + 4);
  std::free(block);
  const auto path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
  return path;
}

TEST(ExifFocal, PixelsFromTheEquivalentOrTheFocalPlaneAndTheCameraKept) {
  const double diagonal = 800;  // of 640 x 480
  // The 35 mm value wins over a focal-plane resolution of the full-size original.
  const auto both = TaggedJpeg("q3d_exif_both.jpg", {26, 4.0, 2000, 1280});
  CCamera camera;
  ASSERT_TRUE(camera.Load(both.string()));
  EXPECT_NEAR(camera.m_focal.exif_px, 26 * diagonal / 43.27, 1e-6);
  EXPECT_EQ(camera.m_focal.make, "Phone");
  EXPECT_EQ(camera.m_focal.model, "X2");
  // Without it: 4 mm at 2000 px/cm on a photograph taken 1280 wide, shown 640 wide.
  const auto plane = TaggedJpeg("q3d_exif_plane.jpg", {0, 4.0, 2000, 1280});
  EXPECT_NEAR(ReadExifFocal(plane.string(), 640, 480).exif_px, 400, 1e-6);
  const auto none = TaggedJpeg("q3d_exif_none.jpg", {});
  EXPECT_EQ(ReadExifFocal(none.string(), 640, 480).exif_px, 0);
  EXPECT_TRUE(ReadExifFocal("/no/such/file.jpg", 640, 480).IsEmpty());
  for (const auto& path : {both, plane, none}) std::filesystem::remove(path);
}

TEST(FocalRecord, AbsentWhenNothingIsKnownAndRoundTrips) {
  CCamera camera1, camera2;
  CStereoPair pair(&camera1, &camera2);
  Archive empty = Archive::ForStoring();
  SerializeFocalRecord(empty, camera1, camera2, pair);
  EXPECT_TRUE(empty.Buffer().empty());  // files without focal lengths stay as they were

  camera1.m_focal = CameraFocal{480.5, 0, "Phone", "X2"};
  camera2.m_focal.entered_px = 1520.4;
  pair.m_focalSource = {FocalSource::kExif, FocalSource::kAssumed};
  Archive stored = Archive::ForStoring();
  SerializeFocalRecord(stored, camera1, camera2, pair);
  CCamera read1, read2;
  CStereoPair read_pair(&read1, &read2);
  Archive loading = Archive::ForLoading(stored.Buffer().data(), stored.Buffer().size());
  SerializeFocalRecord(loading, read1, read2, read_pair);
  EXPECT_EQ(read1.m_focal.exif_px, 480.5);
  EXPECT_EQ(read1.m_focal.model, "X2");
  EXPECT_EQ(read2.m_focal.entered_px, 1520.4);
  EXPECT_EQ(read_pair.m_focalSource[1], FocalSource::kAssumed);
  EXPECT_EQ(loading.Remaining(), 0u);
  // An older file ends before the record: nothing known.
  Archive old = Archive::ForLoading(nullptr, 0);
  SerializeFocalRecord(old, read1, read2, read_pair);
  EXPECT_TRUE(read1.m_focal.IsEmpty());
  EXPECT_EQ(read_pair.m_focalSource[1], FocalSource::kMeasured);
}

}  // namespace
}  // namespace q3d
