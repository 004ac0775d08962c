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
  WriteFocalRecord(empty, camera1, camera2, pair);
  EXPECT_TRUE(empty.Buffer().empty());  // files without focal lengths stay as they were

  camera1.m_focal = CameraFocal{480.5, 0, "Phone", "X2"};
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
