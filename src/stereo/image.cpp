#include "stereo/image.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "base/error_stack.h"

namespace q3d {
namespace {

std::array<char, 4> Text4(const char* text) {
  std::array<char, 4> out{};
  // Four characters, zero-padded; a four-letter name ("GRAY") fills the field.
  if (text) std::memcpy(out.data(), text, std::min(std::strlen(text), out.size()));
  return out;
}

int CvDepth(int depth) { return depth == 32 ? CV_32F : (depth == 16 ? CV_16U : CV_8U); }

}  // namespace

size_t Image::ComputeRowStep(int64_t width, int64_t channels, int64_t depth, int64_t align) {
  if (width < 0 || channels < 0 || depth < 0 || width > (int64_t{1} << 31) ||
      channels > 64 || depth > 64)
    return 0;
  const int64_t bytes = (width * channels * depth + 7) / 8;
  if (align <= 0) return static_cast<size_t>(bytes);
  return static_cast<size_t>((bytes + align - 1) / align * align);
}

void Image::SetHeader(int channels, int alpha, int depth, const std::array<char, 4>& model,
                      const std::array<char, 4>& seq, int align, int width, int height) {
  pixels_.clear();
  pixels_.shrink_to_fit();
  channels_ = channels;
  alpha_channel_ = alpha;
  depth_ = depth;
  color_model_ = model;
  channel_seq_ = seq;
  align_ = align;
  width_ = width;
  height_ = height;
  row_step_ = ComputeRowStep(width, channels, depth, align);
  roi_.reset();
}

bool Image::AllocatePixels() {
  if (width_ <= 0 || height_ <= 0 || channels_ <= 0 || depth_ <= 0 || row_step_ == 0 ||
      row_step_ > kMaxImageBytes / static_cast<size_t>(height_)) {
    PushOutOfMemory();
    return false;
  }
  try {
    pixels_.assign(row_step_ * static_cast<size_t>(height_), 0);
  } catch (const std::bad_alloc&) {
    PushOutOfMemory();
    return false;
  }
  return true;
}

cv::Mat Image::Mat() {
  if (!HasData()) return {};
  return cv::Mat(height_, width_, CV_MAKETYPE(CvDepth(depth_), channels_), pixels_.data(),
                 row_step_);
}

cv::Mat Image::Mat() const { return const_cast<Image*>(this)->Mat(); }

cv::Mat Image::RoiMat() {
  cv::Mat whole = Mat();
  if (whole.empty() || !roi_) return whole;
  const cv::Rect r = cv::Rect(roi_->xOffset, roi_->yOffset, roi_->width, roi_->height) &
                     cv::Rect(0, 0, width_, height_);
  return whole(r);
}

cv::Mat Image::RoiMat() const { return const_cast<Image*>(this)->RoiMat(); }

bool CreateImage(Image& image, int channels, int alpha, int depth, const char* colorModel,
                 const char* channelSeq, int align, int width, int height) {
  image.SetHeader(channels, alpha, depth, Text4(colorModel), Text4(channelSeq), align, width,
                  height);
  if (image.AllocatePixels()) return true;
  FreeImage(image);
  return false;
}

bool CreateColorImage(Image& image, int width, int height) {
  return CreateImage(image, 3, 0, 8, "RGB", "BGR", 8, width, height);
}

bool CreateGrayImage(Image& image, int width, int height) {
  return CreateImage(image, 1, 0, 8, "GRAY", "GRAY", 8, width, height);
}

void FreeImage(Image& image) { image = Image(); }

bool CloneImage(const Image& source, Image& destination) {
  Image copy;
  copy.SetHeader(source.channels_, source.alpha_channel_, source.depth_, source.color_model_,
                 source.channel_seq_, source.align_, source.width_, source.height_);
  if (source.HasData()) {
    try {
      copy.pixels_ = source.pixels_;
    } catch (const std::bad_alloc&) {
      PushOutOfMemory();
      return false;
    }
  }
  destination = std::move(copy);
  return true;
}

}  // namespace q3d
