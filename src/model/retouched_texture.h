#pragma once
// Retouching of the display texture (Make-up Cleaning, the clone brush, the filters)
// carried over to a texture taken afresh from image 1 over another region or at another
// resolution, as the dense surface's is: where the user changed the display texture, the
// change wins; elsewhere image 1's own pixels keep their full resolution.
#include <opencv2/core.hpp>

namespace q3d {

// display: image 1's region displayRegion resampled to the display texture and retouched;
// pristine: the same region resampled afresh, unretouched. out: image 1's region
// outRegion resampled to out's size (8-bit colour), which receives the retouched pixels,
// blended over a pixel at the retouching's edges.
void CarryRetouching(const cv::Mat& display, const cv::Mat& pristine, const cv::Rect& displayRegion,
                     const cv::Rect& outRegion, cv::Mat& out);

}  // namespace q3d
