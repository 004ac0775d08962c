#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/archive.h"
#include "base/error_stack.h"
#include "base/progress.h"
#include "model/metric_scale.h"
#include "project/project_doc.h"
#include "project_bytes.h"
#include "support/status_assertions.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

using test::ByteWriter;
using test::SaveToBytes;

void AddPoints(CCamera& camera, int count) {
  // Inside the smallest image the tests paint (6 x 4); loading refuses points outside.
  for (int i = 0; i < count; ++i)
    camera.m_points.Add(std::make_unique<CSpPoint>(i % 5 + 0.25, i % 3 * 1.25));
}

void PaintImage(CCamera& camera, int w, int h) {
  ASSERT_TRUE(CreateColorImage(camera.m_image, w, h));
  for (int y = 0; y < h; ++y)
    for (size_t i = 0; i < camera.m_image.RowStep(); ++i)
      camera.m_image.Row(y)[i] = static_cast<uint8_t>(y * 31 + i * 7);
  ASSERT_TRUE(test::Succeeded(camera.MakeGray()));
}

TEST(ProjectFileTest, EmptyProjectIs502Bytes) {
  CProjectDoc doc;
  const std::vector<uint8_t> bytes = SaveToBytes(doc);
  ByteWriter w;
  for (int camera = 0; camera < 2; ++camera) {
    w.I32(0).U16(0);
    w.Zeros(36);
  }
  w.I32(0).U16(0).I32(0).Zeros(43 * 8).I32(1).Zeros(3 * 8);
  w.Zeros(36);
  EXPECT_EQ(bytes.size(), 502u);
  EXPECT_EQ(bytes, w.bytes);
}

TEST(ProjectFileTest, WorkedTagNumbering) {
  CProjectDoc doc;
  AddPoints(doc.m_camera1, 2);
  AddPoints(doc.m_camera2, 2);
  for (int i = 0; i < 2; ++i)
    doc.m_stereoPair.m_matches.Add(std::make_unique<CMatch>(doc.m_camera1.m_points.FindById(i),
                                                            doc.m_camera2.m_points.FindById(i)));
  const std::vector<uint8_t> bytes = SaveToBytes(doc);

  ByteWriter w;
  auto point = [&](int id) { w.I32(id).F64(id % 5 + 0.25).F64(id % 3 * 1.25); };
  w.I32(2).U16(2);
  w.U16(0xFFFF).U16(0).U16(8).Text("CSpPoint");
  point(0);
  w.U16(0x8001);
  point(1);
  w.Zeros(36);
  w.I32(2).U16(2).U16(0x8001);
  point(0);
  w.U16(0x8001);
  point(1);
  w.Zeros(36);
  w.I32(2).U16(2);
  w.U16(0xFFFF).U16(0).U16(6).Text("CMatch").I32(0).I32(0).I32(0);
  w.U16(0x8006).I32(1).I32(1).I32(1);
  w.I32(0).Zeros(43 * 8).I32(1).Zeros(24);
  w.Zeros(36);
  EXPECT_EQ(bytes, w.bytes);
}

TEST(ProjectFileTest, FirstPointOfCameraTwoCarriesTheClassWhenCameraOneHasNone) {
  CProjectDoc doc;
  AddPoints(doc.m_camera2, 1);
  const std::vector<uint8_t> bytes = SaveToBytes(doc);
  // Camera 1: 4 + 2 + 36 bytes; then camera 2's next id and count.
  const size_t tagAt = 42 + 4 + 2;
  ASSERT_GT(bytes.size(), tagAt + 2);
  EXPECT_EQ(bytes[tagAt], 0xFF);
  EXPECT_EQ(bytes[tagAt + 1], 0xFF);
}

TEST(ProjectFileTest, LongListsUseTheWideCount) {
  for (int count : {65534, 65535}) {
    CProjectDoc doc;
    AddPoints(doc.m_camera1, count);
    const std::vector<uint8_t> bytes = SaveToBytes(doc);
    uint16_t shortCount;
    std::memcpy(&shortCount, bytes.data() + 4, 2);
    if (count < 0xFFFF) {
      EXPECT_EQ(shortCount, count);
    } else {
      uint32_t wide;
      std::memcpy(&wide, bytes.data() + 6, 4);
      EXPECT_EQ(shortCount, 0xFFFF);
      EXPECT_EQ(wide, 65535u);
    }
    CProjectDoc back;
    ASSERT_TRUE(test::Succeeded(back.LoadProjectBytes(bytes)));
    EXPECT_EQ(back.m_camera1.m_points.Count(), count);
  }
}

TEST(ProjectFileTest, SmallImageStrideAndPixelsRoundTrip) {
  CProjectDoc doc;
  PaintImage(doc.m_camera1, 2, 3);
  EXPECT_EQ(doc.m_camera1.m_image.RowStep(), 8u);
  const std::vector<uint8_t> bytes = SaveToBytes(doc);
  EXPECT_EQ(bytes.size(), 502u + 24u);
  ByteWriter header;
  header.I32(3).I32(0).I32(8).Text4("RGB").Text4("BGR").I32(8).I32(2).I32(3).I32(1);
  EXPECT_TRUE(std::equal(header.bytes.begin(), header.bytes.end(), bytes.begin() + 6));
  EXPECT_TRUE(std::equal(bytes.begin() + 42, bytes.begin() + 66, doc.m_camera1.m_image.Data()));

  CProjectDoc back;
  ASSERT_TRUE(test::Succeeded(back.LoadProjectBytes(bytes)));
  EXPECT_TRUE(back.m_camera1.m_gray.HasData());  // grey rebuilt after reading
  EXPECT_EQ(back.m_camera1.m_roi, (IplROI{0, 0, 0, 2, 3}));
  EXPECT_EQ(SaveToBytes(back), bytes);
}

TEST(ProjectFileTest, RoundTripKeepsIdentifiersFlagsAndMatricesBitForBit) {
  CProjectDoc doc;
  PaintImage(doc.m_camera1, 7, 5);
  PaintImage(doc.m_camera2, 6, 4);
  AddPoints(doc.m_camera1, 5);
  AddPoints(doc.m_camera2, 5);
  doc.m_camera1.m_points.FindById(2)->m_selected = 1;
  doc.m_camera1.m_points.RemoveWithSelection(1);  // leaves a gap; next id stays 5
  for (int i : {0, 1, 3})
    doc.m_stereoPair.m_matches.Add(std::make_unique<CMatch>(doc.m_camera1.m_points.FindById(i),
                                                            doc.m_camera2.m_points.FindById(i)));
  CStereoPair& pair = doc.m_stereoPair;
  pair.m_rendered = 1;
  pair.m_F = Matrix::Random(3, 3);
  pair.m_e1 = Matrix::Random(2, 1);
  pair.m_e2 = Matrix::Random(2, 1);
  pair.m_Rcam = Matrix::Random(3, 3);
  pair.m_t = Matrix::Random(3, 1);
  pair.m_A1 = Matrix::Random(3, 3);
  pair.m_A2 = Matrix::Random(3, 3);
  pair.m_XW = Matrix::Random(3, 3);
  doc.m_camera2.m_points.FindById(0)->m_selected = 1;
  const std::vector<uint8_t> bytes = SaveToBytes(doc);

  CProjectDoc back;
  ASSERT_TRUE(test::Succeeded(back.LoadProjectBytes(bytes)));
  EXPECT_EQ(back.m_camera1.m_points.m_nextId, 5);
  EXPECT_EQ(back.m_camera1.m_points.FindById(2), nullptr);
  EXPECT_EQ(back.m_camera2.m_points.CountSelected(1), 0);  // selection not stored
  ASSERT_EQ(back.m_stereoPair.m_matches.Count(), 3);
  EXPECT_EQ(back.m_stereoPair.m_matches.m_nextId, 3);
  EXPECT_EQ(back.m_stereoPair.m_matches.Matches().back()->m_point1,
            back.m_camera1.m_points.FindById(3));
  EXPECT_EQ(back.m_stereoPair.m_rendered, 1);
  EXPECT_EQ(back.m_stereoPair.m_F, pair.m_F);
  EXPECT_EQ(back.m_stereoPair.m_XW, pair.m_XW);
  EXPECT_EQ(back.m_stereoPair.m_A2, pair.m_A2);
  EXPECT_EQ(back.m_stereoPair.m_R1, Matrix::Identity(3, 3));  // never stored, never changed
  EXPECT_EQ(SaveToBytes(back), bytes);

  // The optional records after the model come back alone and together.
  for (int records : {1, 2, 3}) {
    ASSERT_TRUE(test::Succeeded(back.SetEnteredFocal(1, records & 1 ? 1520.5 : 0)));
    back.m_model.m_metricScale = records & 2 ? MetricScale{0, 1, 62} : MetricScale{};
    CProjectDoc again;
    ASSERT_TRUE(test::Succeeded(again.LoadProjectBytes(SaveToBytes(back))));
    EXPECT_EQ(again.m_camera2.m_focal.entered_px, records & 1 ? 1520.5 : 0);
    EXPECT_EQ(again.m_model.m_metricScale.millimetres, records & 2 ? 62 : 0);
  }
}

TEST(ProjectFileTest, FreshPairReloadsWithResetValues) {
  CProjectDoc doc;
  CProjectDoc back;
  ASSERT_TRUE(test::Succeeded(back.LoadProjectBytes(SaveToBytes(doc))));
  EXPECT_EQ(back.m_stereoPair.m_XW, Matrix::Zero(1, 3));
  EXPECT_EQ(back.m_stereoPair.m_rendered, 0);
}

TEST(ProjectFileTest, ModelKeepsItsTextureRegionAfterLoading) {
  CProjectDoc doc;
  AddPoints(doc.m_camera1, 3);
  ASSERT_TRUE(CreateColorImage(doc.m_model.m_texture, 512, 512));
  doc.m_model.m_texture.Row(100)[30] = 77;
  CProjectDoc back;
  ASSERT_TRUE(test::Succeeded(back.LoadProjectBytes(SaveToBytes(doc))));
  IplROI expected;
  back.m_camera1.m_points.GetBoundingRoi(expected);
  EXPECT_EQ(back.m_model.m_sourceRoi, expected);
  EXPECT_EQ(back.m_model.m_texture.Row(100)[30], 77);
}

class ProjectFileIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("q3d_project_io_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    ClearErrors();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(ProjectFileIoTest, FailedSaveKeepsThePreviousFile) {
  CProjectDoc doc;
  AddPoints(doc.m_camera1, 2);
  const std::string path = (dir_ / "p.qvp").string();
  ASSERT_TRUE(test::Succeeded(doc.SaveProject(path)));
  const auto before = std::filesystem::file_size(path);
  // Saving into a directory that does not exist fails without touching anything.
  EXPECT_FALSE(doc.SaveProject((dir_ / "missing" / "p.qvp").string()));
  EXPECT_EQ(PopError().code, 0);
  EXPECT_EQ(std::filesystem::file_size(path), before);
  // No temporary files are left behind.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(ProjectFileIoTest, SavingInPlaceKeepsHardLinksSharingTheProject) {
  CProjectDoc doc;
  AddPoints(doc.m_camera1, 2);
  const std::filesystem::path path = dir_ / "p.qvp", other = dir_ / "backup.qvp";
  ASSERT_TRUE(test::Succeeded(doc.SaveProject(path.string())));
  std::filesystem::create_hard_link(path, other);
  ::chmod(path.c_str(), 0600);
  AddPoints(doc.m_camera1, 40);
  ASSERT_TRUE(test::Succeeded(doc.SaveProject(path.string())));
  EXPECT_EQ(std::filesystem::hard_link_count(path), 2u);
  EXPECT_EQ(std::filesystem::status(other).permissions(), std::filesystem::perms(0600));
  CProjectDoc back;
  ASSERT_TRUE(test::Succeeded(back.LoadProject(other.string())));
  EXPECT_EQ(back.m_camera1.m_points.Count(), 42);
  // Shorter content through the other name: no tail of the longer project is left.
  doc.m_camera1.m_points.RemoveAll();
  ASSERT_TRUE(test::Succeeded(doc.SaveProject(other.string())));
  EXPECT_EQ(SaveToBytes(doc), test::ReadBytes(path));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 2);
}

TEST_F(ProjectFileIoTest, LoadingAMissingFileReportsAndKeepsNothing) {
  CProjectDoc doc;
  const Status loaded = doc.LoadProject((dir_ / "nope.qvp").string());
  EXPECT_NE(loaded.Reason().find("could not be opened"), std::string::npos);
  EXPECT_TRUE(doc.HasNoImages());
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

struct RecordingProgress : Progress {
  std::vector<std::string> events;
  bool Create() override {
    events.push_back("create");
    return true;
  }
  void Destroy() override { events.push_back("destroy"); }
  void OnStepChanged() override { events.push_back(StepText()); }
  void OnPosChanged(bool) override { events.push_back(std::to_string(Pos())); }
};

TEST(ProjectFileTest, SerializeReportsItsStepsInOrder) {
  CProjectDoc doc;
  RecordingProgress saving;
  Archive ar = Archive::ForStoring();
  doc.Serialize(ar, &saving);
  const std::vector<std::string> expected = {"create",
                                             "Saving Image 1...",
                                             "Saving Image 2...",
                                             "25",
                                             "Saving Stereo Pair...",
                                             "50",
                                             "Saving 3D Reconstruction...",
                                             "75",
                                             "100",
                                             "destroy"};
  EXPECT_EQ(saving.events, expected);

  RecordingProgress loading;
  CProjectDoc back;
  ASSERT_TRUE(test::Succeeded(back.LoadProjectBytes(ar.Buffer(), &loading)));
  EXPECT_EQ(loading.events[1], "Loading Image 1...");
  EXPECT_EQ(loading.events.back(), "destroy");

  // A failing load still destroys its progress window.
  RecordingProgress failing;
  std::vector<uint8_t> truncated(ar.Buffer().begin(), ar.Buffer().begin() + 100);
  EXPECT_FALSE(back.LoadProjectBytes(truncated, &failing));
  EXPECT_EQ(failing.events.back(), "destroy");
  ClearErrors();
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

TEST(ProjectFileOpenTest, ADirectoryIsNotAProject) {
  CProjectDoc doc;
  const Status loaded = doc.LoadProject(std::filesystem::temp_directory_path().string());
  EXPECT_NE(loaded.Reason().find("is a folder, not a file"), std::string::npos) << loaded.Reason();
  ClearErrors();
}

}  // namespace
}  // namespace q3d

namespace q3d {
namespace {

TEST(ProjectExportTest, ModelFileNeedsARenderAndHasTheFixedSize) {
  const auto dir = std::filesystem::temp_directory_path() / "q3d_export_model_test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "m.q3d").string();
  CProjectDoc doc;
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(test::Succeeded(doc.AddMatch(i, 2.0 * i, 3.0 * i, i + 1.0)));
  EXPECT_FALSE(doc.ExportModel(path));  // not rendered: nothing written
  EXPECT_FALSE(std::filesystem::exists(path));

  doc.m_stereoPair.m_rendered = 1;
  doc.m_stereoPair.m_A1 = doc.m_stereoPair.m_A2 = Matrix::Identity(3, 3);
  doc.m_stereoPair.m_Rcam = Matrix::Identity(3, 3);
  ASSERT_TRUE(CreateColorImage(doc.m_model.m_texture, 512, 512));
  ASSERT_TRUE(test::Succeeded(doc.ExportModel(path)));
  EXPECT_EQ(std::filesystem::file_size(path), 787078u + 32u * 3u);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace q3d
