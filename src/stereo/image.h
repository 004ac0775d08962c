#pragma once
// Image storage: owns its pixel buffer with rows padded to an alignment, carries the
// layout fields the project and model files store, and an optional region of interest.
// Pixel operations go through OpenCV on cv::Mat views of the buffer.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <opencv2/core.hpp>

namespace q3d {

// Region of interest: channel of interest (0 = all, 1..n = one channel), offset, size.
struct IplROI {
  int32_t coi = 0;
  int32_t xOffset = 0;
  int32_t yOffset = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const IplROI&, const IplROI&) = default;
};

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Region record helpers.
inline IplROI ZeroRoi() { return {}; }
inline IplROI MakeRoi(int coi, int x, int y, int w, int h) { return {coi, x, y, w, h}; }
inline IplROI RoiFromRect(const Rect& r) { return {0, r.left, r.top, r.right - r.left, r.bottom - r.top}; }
inline Rect RectFromRoi(const IplROI& r) {
  return {r.xOffset, r.yOffset, r.xOffset + r.width, r.yOffset + r.height};
}

class Image {
 public:
  Image() = default;
  Image(const Image&) = delete;  // pixels are copied only on purpose (CloneImage)
  Image& operator=(const Image&) = delete;
  Image(Image&&) noexcept = default;
  Image& operator=(Image&&) noexcept = default;

  bool HasData() const { return !pixels_.empty(); }
  int32_t Channels() const { return channels_; }
  int32_t AlphaChannel() const { return alpha_channel_; }
  int32_t Depth() const { return depth_; }
  const std::array<char, 4>& ColorModel() const { return color_model_; }
  const std::array<char, 4>& ChannelSeq() const { return channel_seq_; }
  int32_t Align() const { return align_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  size_t RowStep() const { return row_step_; }
  size_t ByteSize() const { return pixels_.size(); }
  uint8_t* Data() { return pixels_.data(); }
  const uint8_t* Data() const { return pixels_.data(); }
  uint8_t* Row(int y) { return pixels_.data() + static_cast<size_t>(y) * row_step_; }
  const uint8_t* Row(int y) const { return pixels_.data() + static_cast<size_t>(y) * row_step_; }

  const std::optional<IplROI>& Roi() const { return roi_; }
  void SetRoi(const std::optional<IplROI>& roi) { roi_ = roi; }

  // Views sharing the buffer (padded step kept). Empty when there are no pixels.
  cv::Mat Mat();
  cv::Mat Mat() const;  // read-only by convention
  // The region of interest (whole image without one); channel selection is the caller's.
  cv::Mat RoiMat();
  cv::Mat RoiMat() const;

  // Row length in bytes rounded up to the alignment; 0 when it would overflow.
  static size_t ComputeRowStep(int64_t width, int64_t channels, int64_t depth, int64_t align);

  friend bool CreateImage(Image&, int, int, int, const char*, const char*, int, int, int);
  friend void FreeImage(Image&);
  friend bool CloneImage(const Image&, Image&);
  // Sets the header fields without pixels (readers fill the fields before allocating).
  void SetHeader(int channels, int alpha, int depth, const std::array<char, 4>& model,
                 const std::array<char, 4>& seq, int align, int width, int height);
  // Allocates zero-filled pixels for the current header. False (out-of-memory record
  // pushed) when the size is invalid or cannot be allocated.
  bool AllocatePixels();

 private:
  int32_t channels_ = 0;
  int32_t alpha_channel_ = 0;
  int32_t depth_ = 0;
  std::array<char, 4> color_model_{};
  std::array<char, 4> channel_seq_{};
  int32_t align_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  size_t row_step_ = 0;
  std::vector<uint8_t> pixels_;
  std::optional<IplROI> roi_;
};

// Largest pixel buffer the system allocates (1 GiB): guards against hostile sizes.
constexpr size_t kMaxImageBytes = size_t{1} << 30;

// Fills the header and allocates zero-filled pixels. Returns false after pushing an
// error record when the size is invalid or memory is short.
bool CreateImage(Image& image, int channels, int alpha, int depth, const char* colorModel,
                 const char* channelSeq, int align, int width, int height);
// Colour image of this system: 3 channels, 8 bits, "RGB"/"BGR", rows aligned to 8.
bool CreateColorImage(Image& image, int width, int height);
// Grey working image: 1 channel, 8 bits, "GRAY"/"GRAY", rows aligned to 8.
bool CreateGrayImage(Image& image, int width, int height);
// Releases the pixels and resets the header to empty.
void FreeImage(Image& image);
// Duplicates the pixels and header (the region of interest is not carried over).
bool CloneImage(const Image& source, Image& destination);

}  // namespace q3d
