// Hostile and corrupted project files: every one gives a clear error and an empty
// document, never a crash, a hang or an unbounded allocation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "base/error_stack.h"
#include "project/project_doc.h"
#include "project_bytes.h"
#include "support/printable_line.h"
#include "support/status_assertions.h"

namespace q3d {
namespace {

using test::ByteWriter;
using test::SaveToBytes;

std::vector<uint8_t> SampleProjectBytes() {
  CProjectDoc doc;
  EXPECT_TRUE(CreateColorImage(doc.m_camera1.m_image, 5, 4));
  EXPECT_TRUE(CreateColorImage(doc.m_camera2.m_image, 3, 2));
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(test::Succeeded(doc.AddMatch(i, i + 0.5, i * 0.5, 1.0)));
  doc.m_stereoPair.m_XW = Matrix::Random(4, 3);
  return SaveToBytes(doc);
}

void ExpectRejected(const std::vector<uint8_t>& bytes, const std::string& fragment = "") {
  ClearErrors();
  CProjectDoc doc;
  const Status loaded = doc.LoadProjectBytes(bytes);
  const std::string& error = loaded.Reason();
  EXPECT_FALSE(loaded);
  EXPECT_NE(error.find("Invalid format"), std::string::npos) << error;
  if (!fragment.empty()) {
    EXPECT_NE(error.find(fragment), std::string::npos) << error;
  }
  EXPECT_TRUE(doc.HasNoImages());
  EXPECT_EQ(doc.m_camera1.m_points.Count(), 0);
  EXPECT_EQ(doc.m_stereoPair.m_matches.Count(), 0);
  EXPECT_EQ(PopError().code, 0);
}

TEST(HostileProjectTest, EveryTruncationIsRejected) {
  const std::vector<uint8_t> bytes = SampleProjectBytes();
  for (size_t n = 0; n < bytes.size(); ++n)
    ExpectRejected(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(n)));
}

TEST(HostileProjectTest, UnknownClassAndSchema) {
  ByteWriter w;
  w.I32(1).U16(1).U16(0xFFFF).U16(0).U16(6).Text("CEvil!");
  ExpectRejected(w.bytes, "CEvil!");
  ByteWriter s;
  s.I32(1).U16(1).U16(0xFFFF).U16(3).U16(8).Text("CSpPoint");
  ExpectRejected(s.bytes, "version");
  ByteWriter m;  // a match where a point belongs
  m.I32(1).U16(1).U16(0xFFFF).U16(0).U16(6).Text("CMatch").I32(0).I32(0).I32(0);
  ExpectRejected(m.bytes);
  ByteWriter r;  // a back reference to an object read before
  r.I32(1).U16(2).U16(0xFFFF).U16(0).U16(8).Text("CSpPoint").I32(0).F64(0).F64(0).U16(2);
  ExpectRejected(r.bytes, "twice");
}

TEST(HostileProjectTest, HugeCountsAndImageSizes) {
  ByteWriter count;
  count.I32(0).U16(0xFFFF).U32(0xFFFFFFFFu);
  ExpectRejected(count.bytes, "longer");

  ByteWriter image;  // 100000 x 100000 pixels claimed by a 42-byte file
  image.I32(0)
      .U16(0)
      .I32(3)
      .I32(0)
      .I32(8)
      .Text4("RGB")
      .Text4("BGR")
      .I32(8)
      .I32(100000)
      .I32(100000)
      .I32(1);
  ExpectRejected(image.bytes);

  ByteWriter overflow;  // width x height overflows 32 bits
  overflow.I32(0)
      .U16(0)
      .I32(3)
      .I32(0)
      .I32(8)
      .Text4("RGB")
      .Text4("BGR")
      .I32(8)
      .I32(0x7FFFFFFF)
      .I32(0x7FFFFFFF)
      .I32(1);
  ExpectRejected(overflow.bytes);

  ByteWriter negative;
  negative.I32(0).U16(0).I32(3).I32(0).I32(8).Text4("RGB").Text4("BGR").I32(8).I32(-4).I32(2).I32(
      1);
  ExpectRejected(negative.bytes);

  ByteWriter layout;  // a one-channel image this program never writes
  layout.I32(0)
      .U16(0)
      .I32(1)
      .I32(0)
      .I32(8)
      .Text4("GRAY")
      .Text4("GRAY")
      .I32(8)
      .I32(2)
      .I32(2)
      .I32(1)
      .Zeros(16);
  ExpectRejected(layout.bytes, "layout");

  // 3D point count beyond the file.
  std::vector<uint8_t> bytes;
  {
    CProjectDoc doc;
    bytes = SaveToBytes(doc);
  }
  const size_t nAt = 42 + 42 + 4 + 2 + 4 + 43 * 8;
  const int32_t huge = 0x10000000;
  std::memcpy(bytes.data() + nAt, &huge, 4);
  ExpectRejected(bytes, "3D points");
}

// What a damaged or crafted file cannot be trusted with: each refusal names the record.
TEST(HostileProjectTest, RecordsTheFileCannotBeTrustedWithAreRefused) {
  const auto saved = [](auto&& damage) {
    CProjectDoc doc;
    EXPECT_TRUE(CreateColorImage(doc.m_camera1.m_image, 640, 480));
    EXPECT_TRUE(CreateColorImage(doc.m_camera2.m_image, 640, 480));
    for (int i = 0; i < 3; ++i)
      EXPECT_TRUE(test::Succeeded(doc.AddMatch(350 + i, 20, 300, 40 + i)));
    damage(doc);
    return SaveToBytes(doc);
  };
  // x = 350 with one exponent bit flipped: 2.3e7, far outside the 640 x 480 image.
  ExpectRejected(saved([](CProjectDoc& d) { d.m_camera1.m_points.m_list.front()->m_x = 2.3e7; }),
                 "Point 0 of image 1 lies outside the image");
  ExpectRejected(saved([](CProjectDoc& d) { d.m_camera2.m_points.m_list.back()->m_y = NAN; }),
                 "Point 2 of image 2 has a coordinate that is not a number");
  ExpectRejected(saved([](CProjectDoc& d) { d.m_camera1.m_points.m_nextId = 1; }),
                 "next identifier 1");
  ExpectRejected(saved([](CProjectDoc& d) { d.m_stereoPair.m_matches.m_nextId = INT32_MAX; }),
                 "impossible next identifier");
  ExpectRejected(saved([](CProjectDoc& d) { d.m_stereoPair.m_matches.m_list.back()->m_id2 = 77; }),
                 "Match 2 refers to point 77 of image 2");
}

// The records after the model: any order, each once, a version this reader knows, values the
// commands would accept; a re-save keeps them all.
TEST(HostileProjectTest, OptionalRecordsAreReadInAnyOrderOrRefusedByName) {
  const std::vector<uint8_t> base = SampleProjectBytes();
  const auto record = [&base](auto&& set) {
    CProjectDoc doc;
    EXPECT_TRUE(test::Succeeded(doc.LoadProjectBytes(base)));
    set(doc);
    const std::vector<uint8_t> bytes = SaveToBytes(doc);
    return std::vector<uint8_t>(bytes.begin() + static_cast<long>(base.size()), bytes.end());
  };
  const auto focal = record([](CProjectDoc& d) { d.m_camera2.m_focal.entered_px = 1520.5; });
  const auto scale = record([](CProjectDoc& d) { d.m_model.m_metricScale = {0, 1, 62}; });
  const auto dense = record([](CProjectDoc& d) {
    d.m_model.m_showDense = true;
    d.m_model.m_denseMargin = 0.1;
  });
  const auto cameras = record([](CProjectDoc& d) {
    d.m_stereoPair.m_cameraSharing = CameraSharing::kSeparate;
    d.m_camera1.m_focal.exif_sigma = 0.022;
    d.m_camera2.m_focal.entered_sigma = 0.005;
  });
  const auto join = [&base](std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> bytes = base;
    for (const auto& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
  };
  const std::vector<uint8_t> reordered = join({cameras, dense, scale, focal});
  CProjectDoc doc;
  ASSERT_TRUE(test::Succeeded(doc.LoadProjectBytes(reordered)));
  EXPECT_EQ(doc.m_camera2.m_focal.entered_px, 1520.5);
  EXPECT_EQ(doc.m_model.m_metricScale.millimetres, 62);
  EXPECT_TRUE(doc.m_model.m_showDense);
  EXPECT_EQ(doc.m_model.m_denseMargin, 0.1);
  EXPECT_EQ(doc.m_stereoPair.m_cameraSharing, CameraSharing::kSeparate);
  EXPECT_EQ(doc.m_camera1.m_focal.exif_sigma, 0.022);
  EXPECT_EQ(doc.m_camera2.m_focal.entered_sigma, 0.005);
  EXPECT_EQ(SaveToBytes(doc), join({focal, scale, dense, cameras}));

  ExpectRejected(join({focal, scale, focal}), "focal-length record twice");
  ExpectRejected(join({scale, dense, dense}), "dense-surface record twice");
  ExpectRejected(join({cameras, focal, cameras}), "camera record twice");
  std::vector<uint8_t> unknown_choice = cameras;
  unknown_choice[12] = 3;  // after tag, version and size
  ExpectRejected(join({unknown_choice}), "unknown choice of cameras");
  ExpectRejected(join({record([](CProjectDoc& d) { d.m_camera1.m_focal.entered_sigma = 7; })}),
                 "precision no command sets");
  std::vector<uint8_t> future = focal;
  future[4] = 2;  // the version after the tag
  ExpectRejected(join({future, scale}), "version 2");
  ExpectRejected(join({focal, std::vector<uint8_t>(scale.begin(), scale.end() - 3)}), "cut short");
  ExpectRejected(join({scale, {'J', 'U', 'N', 'K'}}), "4 bytes after the 3D model");
  for (double mm : {1e308, 1e12, 1e-9})
    ExpectRejected(join({record([mm](CProjectDoc& d) {
                     d.m_model.m_metricScale = {0, 1, mm};
                   })}),
                   "real-distance record holds a distance outside");
  for (double px : {2e6, 1e-300, 0.5})
    ExpectRejected(join({record([px](CProjectDoc& d) { d.m_camera1.m_focal.entered_px = px; })}),
                   "focal length outside 1 to 1000000 pixels");
  ClearErrors();
}

// Seeded mutations of a valid file: byte flips, insertions, deletions and overwrites
// with extreme values. Loading may succeed or fail, but must never crash; a success
// must leave a document whose matches all point at existing points.
TEST(HostileProjectTest, MutatedFilesNeverCrash) {
  const std::vector<uint8_t> original = SampleProjectBytes();
  std::mt19937 rng(1234);
  int accepted = 0;
  for (int trial = 0; trial < 10000; ++trial) {
    std::vector<uint8_t> bytes = original;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
      const size_t at = rng() % bytes.size();
      switch (rng() % 5) {
        case 0:
          bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
          break;
        case 1:
          bytes[at] = static_cast<uint8_t>(rng());
          break;
        case 2:
          bytes.erase(bytes.begin() + static_cast<long>(at));
          break;
        case 3:
          bytes.insert(bytes.begin() + static_cast<long>(at), static_cast<uint8_t>(rng()));
          break;
        default:
          for (size_t k = at; k < std::min(bytes.size(), at + 4); ++k) bytes[k] = 0xFF;
      }
    }
    CProjectDoc doc;
    ClearErrors();
    const Status loaded = doc.LoadProjectBytes(bytes);
    if (!loaded) {  // the document's messages break lines where a dialog would
      std::string line = loaded.Reason();
      std::replace(line.begin(), line.end(), '\n', ' ');
      ASSERT_TRUE(test::IsOnePrintableLine(line)) << loaded.Reason();
    }
    if (loaded) {
      ++accepted;
      for (const auto& m : doc.m_stereoPair.m_matches.Matches()) {
        ASSERT_EQ(m->m_point1, doc.m_camera1.m_points.FindById(m->m_id1));
        ASSERT_EQ(m->m_point2, doc.m_camera2.m_points.FindById(m->m_id2));
      }
      EXPECT_EQ(SaveToBytes(doc).size() > 0, true);
    }
  }
  ClearErrors();
  // Flips inside doubles and pixels parse fine: some mutants must load.
  EXPECT_GT(accepted, 100);
}

}  // namespace
}  // namespace q3d
