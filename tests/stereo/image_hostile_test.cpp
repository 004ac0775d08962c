// Hostile image files: truncated, damaged, oversized, of sample formats we cannot show, or
// not files at all. Each is refused with one printable line, the codec's own complaints
// folded into it, never printed on their own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <opencv2/imgcodecs.hpp>
#include <random>

#include "stereo/image_header.h"
#include "stereo/image_io.h"
#include "support/printable_line.h"
#include "support/synthetic_images.h"

namespace q3d {
namespace {

std::vector<uint8_t> Encoded(const cv::Mat& picture, const std::string& extension) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(cv::imencode(extension, picture, bytes)) << extension;
  return bytes;
}

cv::Mat Picture() {
  cv::Mat picture = test::DrawDiscs(120, 90, {{30, 30, 8}, {80, 50, 12}}, 1.0);
  cv::randu(picture(cv::Rect(0, 60, 120, 30)), 0, 255);  // texture that compresses poorly
  return picture;
}

// Decodes the bytes with the standard error stream watched: nothing may reach it.
Status DecodeQuietly(const std::vector<uint8_t>& bytes, Image& image) {
  testing::internal::CaptureStderr();
  Status decoded = DecodeImageFile(bytes, image, "\"test\"");
  const std::string printed = testing::internal::GetCapturedStderr();
  EXPECT_EQ(printed, "");
  return decoded;
}

TEST(HostileImageTest, TruncatedAndDamagedCodecFilesAreRefused) {
  for (const char* extension : {".jpg", ".png", ".tif"}) {
    const std::vector<uint8_t> whole = Encoded(Picture(), extension);
    Image image;
    ASSERT_TRUE(DecodeQuietly(whole, image)) << extension;
    // Cut at 60 %: the rows after the cut would otherwise come out flat grey.
    const std::vector<uint8_t> cut(whole.begin(),
                                   whole.begin() + static_cast<long>(whole.size() * 6 / 10));
    Image truncated;
    const Status loaded = DecodeQuietly(cut, truncated);
    EXPECT_FALSE(loaded) << extension;
    EXPECT_FALSE(truncated.HasData()) << extension;
    EXPECT_NE(loaded.Reason().find("damaged"), std::string::npos) << loaded.Reason();
    EXPECT_TRUE(test::IsOnePrintableLine(loaded.Reason())) << loaded.Reason();
  }
}

TEST(HostileImageTest, BombsAreRefusedFromTheirHeader) {
  // 16000 x 16000 in a PNG: only the header is needed to refuse it.
  std::vector<uint8_t> png = Encoded(Picture(), ".png");
  const uint8_t side[4] = {0, 0, 0x3E, 0x80};
  std::copy(side, side + 4, png.begin() + 16);
  std::copy(side, side + 4, png.begin() + 20);
  Image image;
  const Status loaded = DecodeQuietly(png, image);
  EXPECT_FALSE(loaded);
  EXPECT_NE(loaded.Reason().find("16000 x 16000 pixels"), std::string::npos) << loaded.Reason();
  // A TIFF's directory may sit anywhere: its size is read there.
  std::vector<uint8_t> tif = Encoded(Picture(), ".tif");
  const DeclaredImage declared = ReadImageHeader(tif);
  EXPECT_EQ(declared.width, 120);
  EXPECT_EQ(declared.height, 90);
  // Sides of 32 bits each (found by fuzzing): their product is not computed before each
  // side is found within the limit.
  static const char kSides[] =
      "\x4d\x4d\x00\x2a\x00\x00\x00\x08\x00\x03\x01\x00\x00\xfc\xf6\x00\x00\x01\x00\x00\x00\x40"
      "\x01\x01\x00\x04\x00\x00\x00\x01\xf6\xff\xff\x2f\x87\x69\x00\x04\x00\x00\x00\x01\x00\x00"
      "\x00\x32\x00\x00\x00\x00\x00\x04\x92\x0a\x00\x05\x00\x00\x00\x01\x00\x00\x00\x68\xa2\x0e"
      "\x00\x05\x00\x00\x00\x01\x00\x00\x00\x70\xa2\x10\x00\x03\x00\x00\x00\x01\x00\x03\x00\x00"
      "\xa4\x05\x00\x03\x00\x00\x00\x01\x00\x1c\x00\x00\x00\x00\x00\x00\x00\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff"
      "\xff\xff\xff\xff\x00\x00\x2a\x00\x00\x00\x0a\x00\x00\x07\xd0\x00\x00\x00\x01";
  const Status huge = DecodeQuietly({kSides, kSides + sizeof kSides - 1}, image);
  EXPECT_NE(huge.Reason().find("too large"), std::string::npos) << huge.Reason();
  // A 24-megapixel photograph passes the limit with room to spare.
  EXPECT_LT(int64_t{6000} * 4000 * 2, kMaxImagePixels);
  EXPECT_GT(int64_t{16000} * 16000, kMaxImagePixels);
}

TEST(HostileImageTest, FloatSamplesAndUnknownFormatsAreRefused) {
  cv::Mat floats;
  Picture().convertTo(floats, CV_32FC3, 1.0 / 255);
  const std::vector<uint8_t> tif = Encoded(floats, ".tif");  // the codec writes LogLuv
  ASSERT_TRUE(ReadImageHeader(tif).floatSamples);
  const std::vector<uint8_t> exr = {0x76, 0x2F, 0x31, 0x01, 2, 0, 0, 0};
  for (const auto& bytes : {tif, exr}) {
    Image image;
    const Status loaded = DecodeQuietly(bytes, image);
    EXPECT_FALSE(loaded);
    EXPECT_NE(loaded.Reason().find("floating-point"), std::string::npos) << loaded.Reason();
  }
  Image image;
  const Status text = DecodeQuietly({'h', 'e', 'l', 'l', 'o'}, image);
  EXPECT_NE(text.Reason().find("not an image this program reads"), std::string::npos);
}

TEST(HostileImageTest, MissingFoldersAndPipesAreToldApart) {
  test::TempDir dir;
  const std::string fifo = dir.File("pipe.png").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, const char*> cases[] = {
      {dir.File("missing.png").string(), "does not exist"},
      {dir.File("").string(), "is a folder"},
      {fifo, "not a regular file"},  // would block forever if opened for reading
  };
  for (const auto& [path, reason] : cases) {
    Image image;
    const Status loaded = LoadBitmapImage(image, path);
    EXPECT_NE(loaded.Reason().find(reason), std::string::npos) << loaded.Reason();
  }
}

// Seeded mutations of PNG, JPEG, TIFF and BMP files: loaded or refused with one printable
// line, nothing printed by the codecs.
TEST(HostileImageTest, MutatedImagesNeverCrash) {
  const cv::Mat picture = Picture();
  const std::vector<std::vector<uint8_t>> bases = {
      Encoded(picture, ".png"), Encoded(picture, ".jpg"), Encoded(picture, ".tif"),
      Encoded(picture, ".bmp")};
  std::mt19937 rng(7);
  int loaded = 0, refused = 0;
  for (int trial = 0; trial < 1000; ++trial) {
    std::vector<uint8_t> bytes = bases[static_cast<size_t>(trial) % bases.size()];
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits; ++e) {
      // Headers get most of the edits: that is where sizes and offsets live.
      const size_t at =
          rng() % 3 == 0 ? rng() % bytes.size() : rng() % std::min<size_t>(200, bytes.size());
      switch (rng() % 4) {
        case 0:
          bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
          break;
        case 1:
          bytes[at] = static_cast<uint8_t>(rng());
          break;
        case 2:
          bytes.resize(std::max<size_t>(at, 8));
          break;
        default:
          for (size_t k = at; k < std::min(bytes.size(), at + 4); ++k) bytes[k] = 0xFF;
      }
    }
    Image image;
    const Status decoded = DecodeQuietly(bytes, image);
    if (decoded) {
      ++loaded;
      ASSERT_LE(int64_t{image.Width()} * image.Height(), kMaxImagePixels);
    } else {
      ++refused;
      ASSERT_TRUE(test::IsOnePrintableLine(decoded.Reason())) << decoded.Reason();
    }
  }
  EXPECT_GT(loaded, 50);
  EXPECT_GT(refused, 300);
}

}  // namespace
}  // namespace q3d
