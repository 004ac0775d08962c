#include "synthetic_images.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <opencv2/imgproc.hpp>
#include <stdexcept>

namespace q3d::test {
namespace {

constexpr int kSamples = 8;

double Coverage(const Disc& disc, int x, int y) {
  int inside = 0;
  for (int sy = 0; sy < kSamples; ++sy) {
    for (int sx = 0; sx < kSamples; ++sx) {
      const double px = x - 0.5 + (sx + 0.5) / kSamples - disc.cx;
      const double py = y - 0.5 + (sy + 0.5) / kSamples - disc.cy;
      if (px * px + py * py <= disc.radius * disc.radius) ++inside;
    }
  }
  return static_cast<double>(inside) / (kSamples * kSamples);
}

uint8_t Mix(uint8_t background, uint8_t dot, double coverage) {
  return static_cast<uint8_t>(std::lround(background + (dot - background) * coverage));
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

void Set32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

void PutPixel(std::vector<uint8_t>& out, const cv::Vec3b& p, int bitsPerPixel, bool bitfields) {
  const uint32_t b = p[0], g = p[1], r = p[2];
  switch (bitsPerPixel) {
    case 8:
      out.push_back(static_cast<uint8_t>(std::lround(0.299 * r + 0.587 * g + 0.114 * b)));
      break;
    case 16:
      Put16(out, bitfields ? ((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3)
                           : ((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
      break;
    case 24:
      out.insert(out.end(), {p[0], p[1], p[2]});
      break;
    default:
      out.insert(out.end(), {p[0], p[1], p[2], 0xA5});  // the fourth byte is unused
      break;
  }
}

}  // namespace

cv::Mat DrawDiscs(int width, int height, const std::vector<Disc>& discs, double blurSigma,
                  Bgr background, Bgr dot) {
  cv::Mat image(height, width, CV_8UC3, cv::Scalar(background.b, background.g, background.r));
  for (const Disc& disc : discs) {
    const int x0 = std::max(0, static_cast<int>(std::floor(disc.cx - disc.radius - 1)));
    const int y0 = std::max(0, static_cast<int>(std::floor(disc.cy - disc.radius - 1)));
    const int x1 = std::min(width - 1, static_cast<int>(std::ceil(disc.cx + disc.radius + 1)));
    const int y1 = std::min(height - 1, static_cast<int>(std::ceil(disc.cy + disc.radius + 1)));
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x) {
        const double c = Coverage(disc, x, y);
        if (c == 0.0) continue;
        cv::Vec3b& p = image.at<cv::Vec3b>(y, x);
        p = {Mix(p[0], dot.b, c), Mix(p[1], dot.g, c), Mix(p[2], dot.r, c)};
      }
    }
  }
  if (blurSigma > 0.0) cv::GaussianBlur(image, image, cv::Size(), blurSigma);
  return image;
}

Image ToColorImage(const cv::Mat& bgr) {
  Image image;
  if (bgr.type() != CV_8UC3 || !CreateColorImage(image, bgr.cols, bgr.rows))
    throw std::invalid_argument("ToColorImage needs an 8-bit BGR matrix");
  cv::Mat destination = image.Mat();
  bgr.copyTo(destination);
  return image;
}

Image ToGrayImage(const cv::Mat& gray) {
  Image image;
  if (gray.type() != CV_8UC1 || !CreateGrayImage(image, gray.cols, gray.rows))
    throw std::invalid_argument("ToGrayImage needs an 8-bit grey matrix");
  cv::Mat destination = image.Mat();
  gray.copyTo(destination);
  return image;
}

std::vector<uint8_t> EncodeBmp(const cv::Mat& bgr, const BmpOptions& options) {
  const int bpp = options.bitsPerPixel;
  const bool masks = options.bitfields && (bpp == 16 || bpp == 32);
  const uint32_t stride = static_cast<uint32_t>((bgr.cols * bpp + 31) / 32 * 4);
  const uint32_t paletteSize = bpp == 8 ? 256 * 4 : 0;
  const uint32_t trailingMasks = masks && options.infoHeaderSize == 40 ? 12 : 0;
  const uint32_t pixelOffset = 14 + options.infoHeaderSize + trailingMasks + paletteSize;
  const uint32_t fileSize = pixelOffset + stride * static_cast<uint32_t>(bgr.rows);

  std::vector<uint8_t> out;
  out.push_back('B');
  out.push_back('M');
  Put32(out, fileSize);
  Put32(out, 0);
  Put32(out, pixelOffset);
  // Info header; fields not written here stay zero.
  const size_t info = out.size();
  out.resize(info + options.infoHeaderSize, 0);
  Set32(out, info, options.infoHeaderSize);
  Set32(out, info + 4, static_cast<uint32_t>(bgr.cols));
  Set32(out, info + 8, static_cast<uint32_t>(options.topDown ? -bgr.rows : bgr.rows));
  out[info + 12] = 1;  // planes
  out[info + 14] = static_cast<uint8_t>(bpp);
  Set32(out, info + 16, masks ? 3 : 0);
  Set32(out, info + 20, stride * static_cast<uint32_t>(bgr.rows));
  if (masks) {
    const uint32_t red = bpp == 16 ? 0xF800 : 0x00FF0000;
    const uint32_t green = bpp == 16 ? 0x07E0 : 0x0000FF00;
    const uint32_t blue = bpp == 16 ? 0x001F : 0x000000FF;
    out.resize(info + std::max<size_t>(options.infoHeaderSize, 52), 0);
    Set32(out, info + 40, red);
    Set32(out, info + 44, green);
    Set32(out, info + 48, blue);
  }
  for (uint32_t i = 0; i < paletteSize / 4; ++i)
    out.insert(out.end(), {uint8_t(i), uint8_t(i), uint8_t(i), 0});

  for (int r = 0; r < bgr.rows; ++r) {
    const int y = options.topDown ? r : bgr.rows - 1 - r;
    const size_t rowStart = out.size();
    for (int x = 0; x < bgr.cols; ++x)
      PutPixel(out, bgr.at<cv::Vec3b>(y, x), bpp, options.bitfields);
    out.resize(rowStart + stride, 0);
  }
  return out;
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "q3d-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace q3d::test
