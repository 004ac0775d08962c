// The camera's image work: loading, the grey copy and placing points on markers.
#include <algorithm>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "base/error_stack.h"
#include "stereo/camera.h"
#include "stereo/exif_focal.h"
#include "stereo/image_io.h"
#include "stereo/marker_detector.h"

namespace q3d {
namespace {

// Half size of the window cut around a click; the window spans click - 20 to click + 19.
constexpr int kMarkerWindowHalf = 20;
constexpr uint8_t kMarkerDarkLimit = 100;
constexpr uint8_t kMarkerMeanMargin = 30;

}  // namespace

// Grey is the ITU-R BT.601 luma, 0.299 R + 0.587 G + 0.114 B (OpenCV's BGR2GRAY),
// copied into all three channels so that the grey image has the colour image's layout.
Status CCamera::MakeGray() {
  if (!m_image.HasData()) return Status::Ok();
  if (m_gray.HasData()) FreeImage(m_gray);
  Image luminance;
  if (!CreateGrayImage(luminance, m_image.Width(), m_image.Height())) return OutOfMemory();
  Image gray;
  if (!CreateColorImage(gray, m_image.Width(), m_image.Height())) return OutOfMemory();
  try {
    cv::Mat luminanceMat = luminance.Mat();
    cv::cvtColor(m_image.Mat(), luminanceMat, cv::COLOR_BGR2GRAY);
    cv::Mat grayMat = gray.Mat();
    const int fromTo[] = {0, 0, 0, 1, 0, 2};
    cv::mixChannels(&luminanceMat, 1, &grayMat, 1, fromTo, 3);
  } catch (const cv::Exception&) {
    return Status::Fail("Error: The grey copy of the image could not be made.", kImageLibraryCode);
  }
  m_gray = std::move(gray);
  return Status::Ok();
}

Status CCamera::Load(const std::string& path) {
  Image loaded;
  if (Status read = LoadBitmapImage(loaded, path); !read) {
    FreeImage(m_image);
    FreeImage(m_gray);
    return read;
  }
  m_image = std::move(loaded);
  if (Status grey = MakeGray(); !grey) {
    FreeImage(m_image);
    return grey;
  }
  m_roi = MakeRoi(0, 0, 0, m_image.Width(), m_image.Height());
  // A new photograph: what was known of the old one's lens no longer holds.
  m_focal = ReadExifFocal(path);
  return Status::Ok();
}

void CCamera::TakePhotograph(CCamera& loaded) {
  m_image = std::move(loaded.m_image);
  m_gray = std::move(loaded.m_gray);
  m_roi = loaded.m_roi;
  m_focal = loaded.m_focal;
  loaded.Clear();
}

int CCamera::FindDotCentre(int x, int y, DotCentring centring,
                           std::optional<cv::Point2d>& centre) const {
  centre.reset();
  // Without a grey image, or off the image, there is no marker under the click.
  if (!m_gray.HasData() || x < 0 || y < 0 || x >= m_gray.Width() || y >= m_gray.Height()) return 1;
  const int width = m_gray.Width();
  const int height = m_gray.Height();
  const int x0 = std::max(x - kMarkerWindowHalf, 0);
  const int y0 = std::max(y - kMarkerWindowHalf, 0);
  const int x1 = std::min(width, x + kMarkerWindowHalf);
  const int y1 = std::min(height, y + kMarkerWindowHalf);

  Image window;
  if (!CreateGrayImage(window, x1 - x0, y1 - y0)) return 0;
  try {
    cv::Mat windowMat = window.Mat();
    cv::extractChannel(m_gray.Mat()(cv::Rect(x0, y0, x1 - x0, y1 - y0)), windowMat, 0);
  } catch (const cv::Exception&) {
    PushImageLibraryError();
    return 0;
  }

  CMarkerDetector detector;
  int result = detector.Setup(x1 - x0, y1 - y0, kMarkerDarkLimit, kMarkerMeanMargin);
  if (result == 1) result = detector.GrowRegion(window, x - x0, y - y0);
  if (result == 1 && !detector.IsEmpty()) {
    result = detector.FitCentre();
    cv::Point2d found(detector.CentreX(), detector.CentreY());
    if (result == 1 && centring == DotCentring::kPrecise) {
      if (const auto precise = PreciseDotCentre(window.Mat(), detector)) found = *precise;
    }
    found += cv::Point2d(x0, y0);
    // Strict bounds; an undefined (NaN) centre fails them too.
    if (result == 1 && found.x > 0 && found.x < width && found.y > 0 && found.y < height)
      centre = found;
  }
  detector.Release();
  return result;
}

int CCamera::AddPointAt(int x, int y, int& found, DotCentring centring) {
  found = 0;
  std::optional<cv::Point2d> centre;
  if (!FindDotCentre(x, y, centring, centre)) return 0;
  if (!centre) return 1;
  if (!m_points.Add(std::make_unique<CSpPoint>(centre->x, centre->y))) return 0;
  found = 1;
  return 1;
}

}  // namespace q3d
