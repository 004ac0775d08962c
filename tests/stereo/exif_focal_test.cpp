#include "stereo/exif_focal.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <opencv2/imgcodecs.hpp>

#include "base/archive.h"
#include "stereo/camera.h"
#include "stereo/focal_record.h"
#include "stereo/stereo_pair.h"
#include "support/exif_jpeg.h"

namespace q3d {
namespace {

// A 640 x 480 JPEG carrying the tags.
std::filesystem::path TaggedJpeg(const std::string& name, const test::ExifTags& tags) {
  const auto path = std::filesystem::temp_directory_path() / name;
  EXPECT_TRUE(test::WriteJpegWithExif(path.string(),
                                      cv::Mat(480, 640, CV_8UC3, cv::Scalar(90, 120, 150)), tags));
  return path;
}

// 4 mm at 2000 px/cm on a photograph taken 1280 wide: 400 px at 640 wide.
constexpr test::ExifTags kPlane{.focal_mm = 4.0, .plane_resolution = 2000, .taken_width = 1280};

TEST(ExifFocal, PixelsFromTheEquivalentOrTheFocalPlaneAndTheCameraKept) {
  const double diagonal = 800;  // of 640 x 480
  // The 35 mm value wins over a focal-plane resolution of the full-size original.
  const auto both = TaggedJpeg(
      "q3d_exif_both.jpg",
      {.equivalent_mm = 26, .focal_mm = 4.0, .plane_resolution = 2000, .taken_width = 1280});
  CCamera camera;
  ASSERT_TRUE(camera.Load(both.string()));
  EXPECT_NEAR(camera.m_focal.exif_px, 26 * diagonal / 43.27, 1e-6);
  EXPECT_EQ(camera.m_focal.make, "Phone");
  EXPECT_EQ(camera.m_focal.model, "X2");
  // Without it: 4 mm at 2000 px/cm on a photograph taken 1280 wide, shown 640 wide.
  const auto plane = TaggedJpeg("q3d_exif_plane.jpg", kPlane);
  EXPECT_NEAR(ReadExifFocal(plane.string()).exif_px, 400, 1e-6);
  const auto none = TaggedJpeg("q3d_exif_none.jpg", {});
  EXPECT_EQ(ReadExifFocal(none.string()).exif_px, 0);
  EXPECT_TRUE(ReadExifFocal("/no/such/file.jpg").IsEmpty());
  for (const auto& path : {both, plane, none}) std::filesystem::remove(path);
}

// Every route to a focal length gives one within 0.1 to 20 diagonals (80 to 16000 px here) or
// nothing, with a note naming the photograph and the tag; a unit the standard does not
// define makes its route unusable.
TEST(ExifFocal, ImplausibleValuesAndUndefinedUnitsAreIgnoredWithANote) {
  struct Case {
    test::ExifTags tags;
    double px;  // 0: no focal length
    const char* named;
  };
  auto tags = [](auto change) {
    test::ExifTags t = kPlane;
    change(t);
    return t;
  };
  const Case cases[] = {
      {tags([](auto& t) { t.equivalent_mm = 65535; }), 400, "FocalLengthIn35mmFilm 65535"},
      {tags([](auto& t) { t.plane_resolution = 1, t.divisor = 4294967295u; }), 0,
       "FocalPlaneXResolution"},
      {tags([](auto& t) { t.taken_width = 4294967295u; }), 0, "PixelXDimension 4.29"},
      {tags([](auto& t) { t.taken_width = 1; }), 0, "PixelXDimension 1"},
      {tags([](auto& t) { t.focal_mm = 40000; }), 0, "FocalLength 40000"},
      {tags([](auto& t) { t.unit = 5; }), 0, "per micrometre"},
      {tags([](auto& t) { t.unit = 0; }), 0, "FocalPlaneResolutionUnit 0"},
      {tags([](auto& t) { t.unit = 1; }), 0, "FocalPlaneResolutionUnit 1"},
      {tags([](auto& t) { t.unit = 6; }), 0, "FocalPlaneResolutionUnit 6"},
      {tags([](auto& t) { t.unit = 65535; }), 0, "FocalPlaneResolutionUnit 65535"},
      {tags([](auto& t) { t.unit = 4, t.plane_resolution = 200; }), 400, nullptr},
  };
  const auto path = std::filesystem::temp_directory_path() / "q3d_exif_bounds.jpg";
  for (const Case& c : cases) {
    TaggedJpeg(path.filename().string(), c.tags);
    const CameraFocal focal = ReadExifFocal(path.string());
    EXPECT_NEAR(focal.exif_px, c.px, 1e-6) << c.named;
    if (!c.named) {
      EXPECT_TRUE(focal.exif_notes.empty());
      continue;
    }
    ASSERT_EQ(focal.exif_notes.size(), 1u) << c.named;
    const std::string& note = focal.exif_notes[0];
    EXPECT_NE(note.find(c.named), std::string::npos) << note;
    EXPECT_NE(note.find("q3d_exif_bounds.jpg"), std::string::npos) << note;
  }
  std::filesystem::remove(path);
}

// Stored landscape, shown portrait: PixelXDimension counts the stored width.
TEST(ExifFocal, AQuarterTurnedPhotographKeepsItsFocalLength) {
  test::ExifTags turned = kPlane;
  turned.orientation = 6;
  const auto path = TaggedJpeg("q3d_exif_turned.jpg", turned);
  CCamera camera;
  ASSERT_TRUE(camera.Load(path.string()));
  EXPECT_EQ(camera.Width(), 480);
  EXPECT_NEAR(camera.m_focal.exif_px, 400, 1e-6);
  std::filesystem::remove(path);
}

TEST(FocalRecord, AbsentWhenNothingIsKnownAndRoundTrips) {
  CCamera camera1, camera2;
  CStereoPair pair(&camera1, &camera2);
  Archive empty = Archive::ForStoring();
  WriteFocalRecord(empty, camera1, camera2, pair);
  EXPECT_TRUE(empty.Buffer().empty());  // files without focal lengths stay as they were

  camera1.m_focal.exif_px = 480.5;
  camera1.m_focal.make = "Phone";
  camera1.m_focal.model = "X2";
  camera2.m_focal.entered_px = 1520.4;
  pair.m_focalSource = {FocalSource::kExif, FocalSource::kAssumed};
  Archive stored = Archive::ForStoring();
  WriteFocalRecord(stored, camera1, camera2, pair);
  CCamera read1, read2;
  CStereoPair read_pair(&read1, &read2);
  Archive loading = Archive::ForLoading(stored.Buffer().data(), stored.Buffer().size());
  ASSERT_TRUE(ReadFocalRecord(loading, read1, read2, read_pair));
  EXPECT_EQ(read1.m_focal.exif_px, 480.5);
  EXPECT_EQ(read1.m_focal.model, "X2");
  EXPECT_EQ(read2.m_focal.entered_px, 1520.4);
  EXPECT_EQ(read_pair.m_focalSource[1], FocalSource::kAssumed);
  EXPECT_EQ(loading.Remaining(), 0u);
  // An older file ends before the record: nothing is read.
  Archive old = Archive::ForLoading(nullptr, 0);
  EXPECT_FALSE(ReadFocalRecord(old, read1, read2, read_pair));
}

}  // namespace
}  // namespace q3d
