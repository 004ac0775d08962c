#include "stereo/image_io.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "base/error_stack.h"
#include "stereo/image_header.h"
#include "support/status_assertions.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

// Random BGR pixels; with fieldBits set, each channel takes only values that a field of
// that many bits represents exactly (the field value scaled to 0..255 and rounded).
cv::Mat RandomImage(int width, int height, uint32_t seed,
                    const std::array<int, 3>& fieldBits = {8, 8, 8}) {
  std::mt19937 rng(seed);
  cv::Mat image(height, width, CV_8UC3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int maximum = (1 << fieldBits[static_cast<size_t>(c)]) - 1;
        const int field = static_cast<int>(rng() % static_cast<uint32_t>(maximum + 1));
        image.at<cv::Vec3b>(y, x)[c] = static_cast<uint8_t>(std::lround(field * 255.0 / maximum));
      }
    }
  }
  return image;
}

bool SamePixels(const Image& image, const cv::Mat& expected) {
  if (image.Width() != expected.cols || image.Height() != expected.rows || image.Channels() != 3)
    return false;
  return cv::countNonZero(image.Mat().reshape(1) != expected.reshape(1)) == 0;
}

void Patch32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

class ImageIoTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearErrors(); }

  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    const auto path = dir_.File(name);
    test::WriteBytes(path, bytes);
    return path.string();
  }

  test::TempDir dir_;
};

struct Layout {
  const char* name;
  test::BmpOptions options;
  std::array<int, 3> fieldBits;  // blue, green, red
};

class BmpLayoutTest : public ImageIoTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(BmpLayoutTest, LoadsPixelExact) {
  const Layout& layout = GetParam();
  // An odd width exercises the row padding of every depth.
  const cv::Mat expected = RandomImage(13, 7, 17, layout.fieldBits);
  const std::string path = Write("image.bmp", test::EncodeBmp(expected, layout.options));
  Image image;
  ASSERT_TRUE(test::Succeeded(LoadBitmapImage(image, path)));
  EXPECT_EQ(image.Depth(), 8);
  EXPECT_EQ(image.Align(), 8);
  EXPECT_EQ(image.RowStep() % 8, 0u);
  EXPECT_TRUE(SamePixels(image, expected));
  EXPECT_EQ(BitmapBitsPerPixel(path), layout.options.bitsPerPixel);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BmpLayoutTest,
    ::testing::Values(Layout{"bgr24", {24, false, false, 40}, {8, 8, 8}},
                      Layout{"bgr24_top_down", {24, false, true, 40}, {8, 8, 8}},
                      Layout{"bgrx32", {32, false, false, 40}, {8, 8, 8}},
                      Layout{"bgrx32_v5_masks", {32, true, true, 124}, {8, 8, 8}},
                      Layout{"rgb555", {16, false, false, 40}, {5, 5, 5}},
                      Layout{"rgb555_top_down_v4", {16, false, true, 108}, {5, 5, 5}},
                      Layout{"rgb565_masks", {16, true, false, 40}, {5, 6, 5}},
                      Layout{"rgb565_v5_masks", {16, true, false, 124}, {5, 6, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageIoTest, EightBitBitmapIsRefused) {
  const std::string path = Write("grey.bmp", test::EncodeBmp(RandomImage(5, 4, 3), {8}));
  EXPECT_EQ(BitmapBitsPerPixel(path), 8);
  Image image;
  const Status loaded = LoadBitmapImage(image, path);
  EXPECT_FALSE(image.HasData());
  EXPECT_EQ(loaded.Reason(), kLowDepthMessage);
  EXPECT_EQ(loaded.Code(), 0);
  EXPECT_EQ(loaded.Severity(), 1);
}

TEST_F(ImageIoTest, DamagedBitmapsAreRefusedWithTheFileNamed) {
  const std::vector<uint8_t> valid = test::EncodeBmp(RandomImage(6, 5, 9), {24});
  const std::vector<uint8_t> validMasks = test::EncodeBmp(RandomImage(6, 5, 9), {16, true});
  struct Damage {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<Damage> cases;
  const auto patched = [](std::vector<uint8_t> bytes, size_t at, uint32_t value) {
    Patch32(bytes, at, value);
    return bytes;
  };
  cases.push_back({"pixels_cut", {valid.begin(), valid.end() - 20}});
  cases.push_back({"header_cut", {valid.begin(), valid.begin() + 30}});
  cases.push_back({"magic_only", {valid.begin(), valid.begin() + 2}});
  cases.push_back({"huge_width", patched(valid, 18, 0x7FFFFFFF)});
  cases.push_back({"huge_height", patched(valid, 22, 0x7FFFFFFF)});
  cases.push_back({"huge_both", patched(patched(valid, 18, 0x7FFFFFFF), 22, 0x80000001)});
  cases.push_back({"lowest_height", patched(valid, 22, 0x80000000)});
  cases.push_back({"zero_width", patched(valid, 18, 0)});
  cases.push_back({"negative_width", patched(valid, 18, 0xFFFFFFFA)});
  cases.push_back({"zero_height", patched(valid, 22, 0)});
  cases.push_back({"offset_beyond_file", patched(valid, 10, 0xFFFFFF00)});
  cases.push_back({"offset_inside_header", patched(valid, 10, 20)});
  cases.push_back({"rle_compression", patched(valid, 30, 1)});
  cases.push_back({"masks_on_24_bits", patched(valid, 30, 3)});
  cases.push_back({"unknown_header_size", patched(valid, 14, 64)});
  cases.push_back({"depth_48", patched(valid, 28, 48)});
  cases.push_back({"zero_mask", patched(validMasks, 54, 0)});
  cases.push_back({"split_mask", patched(validMasks, 54, 0xF00F)});
  cases.push_back({"mask_beyond_depth", patched(validMasks, 54, 0x1F0000)});
  for (const Damage& damage : cases) {
    const std::string path = Write(std::string(damage.name) + ".bmp", damage.bytes);
    Image image;
    const Status loaded = LoadBitmapImage(image, path);
    EXPECT_FALSE(loaded) << damage.name;
    EXPECT_FALSE(image.HasData()) << damage.name;
    EXPECT_NE(loaded.Reason().find(path), std::string::npos)
        << damage.name << ": " << loaded.Reason();
    EXPECT_EQ(loaded.Severity(), 2) << damage.name;
  }
}

TEST_F(ImageIoTest, LastRowWithoutPaddingStillLoads) {
  const cv::Mat expected = RandomImage(5, 3, 4);
  std::vector<uint8_t> bytes = test::EncodeBmp(expected, {24});
  bytes.resize(bytes.size() - 1);  // 5 x 3 bytes of the top row, then one byte of padding
  Image image;
  ASSERT_TRUE(test::Succeeded(LoadBitmapImage(image, Write("short.bmp", bytes))));
  EXPECT_TRUE(SamePixels(image, expected));
}

TEST_F(ImageIoTest, MissingOrForeignFilesAreRefusedWithTheFileNamed) {
  const std::string missing = dir_.File("absent.bmp").string();
  const std::string text = Write("notes.bmp", {'h', 'e', 'l', 'l', 'o'});
  const std::string empty = Write("empty.png", {});
  for (const std::string& path : {missing, text, empty}) {
    Image image;
    const Status loaded = LoadBitmapImage(image, path);
    EXPECT_FALSE(loaded) << path;
    EXPECT_EQ(BitmapBitsPerPixel(path), 0) << path;
    EXPECT_NE(loaded.Reason().find(path), std::string::npos) << path;
  }
}

TEST_F(ImageIoTest, PngAndTiffLoadExactlyAndJpegClosely) {
  const cv::Mat expected = test::DrawDiscs(37, 21, {{10, 10, 4}, {25, 12, 6}}, 1.0);
  for (const char* name : {"photo.png", "photo.tif", "photo.jpg"}) {
    const std::string path = dir_.File(name).string();
    ASSERT_TRUE(cv::imwrite(path, expected)) << name;
    Image image;
    ASSERT_TRUE(test::Succeeded(LoadBitmapImage(image, path))) << name;
    EXPECT_EQ(image.Width(), 37);
    EXPECT_EQ(image.Height(), 21);
    EXPECT_EQ(image.Align(), 8);
    if (std::strcmp(name, "photo.jpg") == 0) {
      cv::Mat difference;
      cv::absdiff(image.Mat(), expected, difference);
      EXPECT_LT(cv::mean(difference.reshape(1))[0], 3.0);
    } else {
      EXPECT_TRUE(SamePixels(image, expected)) << name;
    }
  }
}

// Small files whose headers declare a huge image: refused as too large before the codec
// decodes anything (a truncated file the codec reached would read as unreadable instead).
TEST_F(ImageIoTest, HugeDeclaredPngAndJpegSizesAreRefusedBeforeDecoding) {
  std::vector<uint8_t> png = {0x89, 'P', 'N',  'G',  '\r', '\n', 0x1A, '\n', 0,    0,
                              0,    13,  'I',  'H',  'D',  'R',  0,    0,    0x9C, 0x40,
                              0,    0,   0x9C, 0x40, 8,    2,    0,    0,    0};  // 40000 x 40000,
                                                                                  // 8-bit RGB
  std::vector<uint8_t> jpeg = {0xFF, 0xD8,                                        // SOI
                               0xFF, 0xE0, 0,    6, 'J',  'F', 'I',  'F',         // APP0, skipped
                               0xFF, 0xFF, 0xC0, 0, 11,   8,   0xFD, 0xE8,  // fill, SOF0 h 65000
                               0xFD, 0xE8, 1,    1, 0x11, 0};               // w 65000, 1 comp
  for (const auto& [name, bytes] : {std::pair{"huge.png", png}, std::pair{"huge.jpg", jpeg}}) {
    const std::string path = Write(name, bytes);
    Image image;
    const Status loaded = LoadBitmapImage(image, path);
    EXPECT_FALSE(loaded) << name;
    const std::string& message = loaded.Reason();
    EXPECT_NE(message.find("too large"), std::string::npos) << message;
    EXPECT_NE(message.find(path), std::string::npos) << message;
  }
}

TEST_F(ImageIoTest, DeclaredSizesOfRealFiles) {
  const cv::Mat picture = test::DrawDiscs(53, 29, {{10, 10, 4}}, 1.0);
  for (const char* name : {"size.png", "size.jpg", "size.tif", "size.bmp"}) {
    const std::string path = dir_.File(name).string();
    ASSERT_TRUE(cv::imwrite(path, picture));
    const DeclaredImage declared = ReadImageHeader(test::ReadBytes(path));
    EXPECT_NE(declared.format, ImageFormat::kUnknown) << name;
    EXPECT_EQ(declared.width, 53) << name;
    EXPECT_EQ(declared.height, 29) << name;
    EXPECT_FALSE(declared.floatSamples) << name;
  }
  const std::vector<uint8_t> cutJpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0, 200};
  const std::vector<uint8_t> cutPng = {0x89, 'P', 'N', 'G'};
  EXPECT_EQ(ReadImageHeader(cutJpeg).width, 0);
  EXPECT_EQ(ReadImageHeader(cutPng).format, ImageFormat::kUnknown);
}

// Random byte changes and truncations of valid bitmaps: every outcome is a clean success
// or a refusal with an error record, never a crash, an over-read or a huge allocation.
TEST_F(ImageIoTest, MutatedBitmapsNeverCrashTheLoader) {
  const cv::Mat source = RandomImage(9, 6, 21);
  const std::vector<std::vector<uint8_t>> bases = {test::EncodeBmp(source, {24}),
                                                   test::EncodeBmp(source, {16, true, true, 108}),
                                                   test::EncodeBmp(source, {32, true, false, 124}),
                                                   test::EncodeBmp(source, {16, false, false, 40})};
  const uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0x10000, 0xFFFF};
  std::mt19937 rng(20261207);
  int loaded = 0, refused = 0;
  for (int iteration = 0; iteration < 4000; ++iteration) {
    std::vector<uint8_t> bytes = bases[static_cast<size_t>(iteration) % bases.size()];
    const int mutations = 1 + static_cast<int>(rng() % 4);
    for (int m = 0; m < mutations; ++m) {
      switch (rng() % 4) {
        case 0: {  // a byte of the headers
          const size_t at = 2 + rng() % 136;
          if (at < bytes.size()) bytes[at] ^= static_cast<uint8_t>(1 + rng() % 255);
          break;
        }
        case 1: {  // a whole header field
          const size_t at = 2 + 4 * (rng() % 34);
          if (at + 4 <= bytes.size()) Patch32(bytes, at, extremes[rng() % std::size(extremes)]);
          break;
        }
        case 2:  // anywhere
          bytes[rng() % bytes.size()] = static_cast<uint8_t>(rng());
          break;
        default:  // truncation
          bytes.resize(rng() % bytes.size());
          if (bytes.size() < 2) bytes = {'B', 'M'};
          break;
      }
    }
    // A fresh name each time: rewriting one file in place makes the file system flush it.
    const std::string path = Write("mutant" + std::to_string(iteration) + ".bmp", bytes);
    Image image;
    BitmapBitsPerPixel(path);
    const Status read = LoadBitmapImage(image, path);
    if (read) {
      ++loaded;
      ASSERT_TRUE(image.HasData());
      // A bitmap spends at least 2 bytes per pixel.
      ASSERT_LE(static_cast<uint64_t>(image.Width()) * static_cast<uint64_t>(image.Height()) * 2,
                bytes.size());
    } else {
      ++refused;
      ASSERT_FALSE(image.HasData());
      ASSERT_FALSE(read.Reason().empty());
    }
    std::filesystem::remove(path);
  }
  // The mutations must exercise both outcomes to mean anything.
  EXPECT_GT(loaded, 100);
  EXPECT_GT(refused, 1000);
}

}  // namespace
}  // namespace q3d
