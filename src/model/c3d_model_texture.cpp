// The model's texture: image 1's region around its points resampled to 512 x 512, where
// the user retouches it.
#include <cmath>
#include <new>
#include <opencv2/imgproc.hpp>

#include "base/error_stack.h"
#include "model/c3d_model.h"
#include "model/retouched_texture.h"
#include "stereo/loaded_records.h"
#include "stereo/stereo_pair.h"

namespace q3d {
namespace {

bool IsTextureLayout(const Image& texture) {
  return texture.HasData() && texture.Width() == C3DModel::kTextureSize &&
         texture.Height() == C3DModel::kTextureSize && texture.Channels() == 3 &&
         texture.Depth() == 8;
}

// The region of the image, with black where the region reaches past the image's edges, so
// that the texture always maps the whole region.
cv::Mat RegionOf(const Image& image, const IplROI& roi) {
  const cv::Rect wanted(roi.xOffset, roi.yOffset, roi.width, roi.height);
  const cv::Mat whole = image.Mat();
  const cv::Rect inside = wanted & cv::Rect(0, 0, whole.cols, whole.rows);
  if (inside == wanted) return whole(wanted);
  cv::Mat region = cv::Mat::zeros(roi.height, roi.width, CV_8UC3);
  if (!inside.empty()) whole(inside).copyTo(region(inside - wanted.tl()));
  return region;
}

void Resample(const Image& image, const IplROI& roi, cv::Mat& destination) {
  cv::resize(RegionOf(image, roi), destination, destination.size(), 0, 0, cv::INTER_CUBIC);
}

}  // namespace

void C3DModel::CarryRetouchingOnto(cv::Mat& texture, const cv::Rect& region) const {
  if (!IsTextureLayout(m_texture) || m_sourceRoi.width == 0 || m_sourceRoi.height == 0 ||
      !m_stereoPair || !m_stereoPair->m_camera1 || !m_stereoPair->m_camera1->HasImage())
    return;
  // What the texture was before any retouching: the same resampling of the same region.
  cv::Mat pristine(kTextureSize, kTextureSize, CV_8UC3);
  Resample(m_stereoPair->m_camera1->m_image, m_sourceRoi, pristine);
  const cv::Rect displayRegion(m_sourceRoi.xOffset, m_sourceRoi.yOffset, m_sourceRoi.width,
                               m_sourceRoi.height);
  CarryRetouching(m_texture.Mat(), pristine, displayRegion, region, texture);
}

void C3DModel::UpdateTexture() {
  if (m_stereoPair == nullptr || m_stereoPair->m_camera1 == nullptr) return;
  const CCamera& camera1 = *m_stereoPair->m_camera1;
  IplROI region;
  camera1.m_points.GetBoundingRoi(region);

  bool created = false;
  if (!IsTextureLayout(m_texture)) {
    FreeImage(m_texture);
    if (!CreateColorImage(m_texture, kTextureSize, kTextureSize)) return;
    created = true;
  }
  // An unchanged region keeps the texture, and with it any retouching. A texture just
  // created holds nothing to keep (a project saved before its first build loads without
  // texture pixels but with its region already set), so it is always resampled.
  if (region == m_sourceRoi && !created) return;
  m_sourceRoi = region;
  if (region.width == 0 || region.height == 0) return;
  if (!camera1.HasImage() || camera1.m_image.Channels() != 3 || camera1.m_image.Depth() != 8) {
    PushErrorText("Error: Image 1 has no colour image to take the texture from.");
    return;
  }
  // The region's buffer is bounded by the image, never by what the points claim.
  const int reach = 2 * static_cast<int>(std::ceil(kPointMarginPixels)) + 2;
  if (region.width > camera1.Width() + reach || region.height > camera1.Height() + reach) {
    PushErrorText("Error: The points of Image 1 lie outside the image; no texture can be taken.");
    return;
  }
  try {
    cv::Mat destination = m_texture.Mat();
    Resample(camera1.m_image, region, destination);
  } catch (const cv::Exception&) {
    PushImageLibraryError();
  } catch (const std::bad_alloc&) {
    PushOutOfMemory();
  }
}

}  // namespace q3d
