#pragma once
// The single-channel grey image and the working area automatic matching reads from a camera.
#include <opencv2/core.hpp>

#include "stereo/camera.h"

namespace q3d {

// 8-bit single-channel grey of the camera: the first channel of its grey copy, or the
// luminance of the colour image when there is no grey copy. Empty without an image.
cv::Mat CameraGrey(const CCamera& camera);

// The camera's region of interest clipped to the image; the whole image when the region
// is empty or lies outside it.
cv::Rect FeatureArea(const CCamera& camera);

}  // namespace q3d
