#pragma once
// Synthetic photographs for the image tests: dark make-up dots on skin, and bitmap files
// of every layout the loader reads, written to a private temporary directory.
#include <cstdint>
#include <filesystem>
#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "stereo/image.h"

namespace q3d::test {

struct Bgr {
  uint8_t b = 0, g = 0, r = 0;
};

inline constexpr Bgr kSkin{150, 175, 220};    // BT.601 grey 186
inline constexpr Bgr kMarkerDot{40, 45, 60};  // BT.601 grey 48

struct Disc {
  double cx = 0.0;  // centre in pixel coordinates (pixel centres at integers)
  double cy = 0.0;
  double radius = 0.0;
};

// BGR image of the background with the discs painted by their area coverage of each
// pixel (8 x 8 samples), then blurred with a Gaussian of blurSigma pixels when positive.
cv::Mat DrawDiscs(int width, int height, const std::vector<Disc>& discs, double blurSigma = 0.0,
                  Bgr background = kSkin, Bgr dot = kMarkerDot);

// Copies an 8-bit BGR or grey matrix into an image of this system's layout.
Image ToColorImage(const cv::Mat& bgr);
Image ToGrayImage(const cv::Mat& gray);

struct BmpOptions {
  int bitsPerPixel = 24;         // 8 (grey palette), 16, 24 or 32
  bool bitfields = false;        // 16 bpp: 5-6-5 masks; 32 bpp: explicit 8-8-8 masks
  bool topDown = false;          // negative height
  uint32_t infoHeaderSize = 40;  // 40, 108 (V4) or 124 (V5)
};

// Encodes a BGR matrix as a bitmap file. 16-bit layouts keep the high bits of each channel.
std::vector<uint8_t> EncodeBmp(const cv::Mat& bgr, const BmpOptions& options);

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::filesystem::path& path);

// A fresh directory under the system's temporary directory, removed with its content.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::filesystem::path File(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace q3d::test
