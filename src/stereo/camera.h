#pragma once
// One photograph: colour image, its grey copy, the points placed on it and the region
// of interest the views work in.
#include <optional>
#include <string>

#include "base/result.h"
#include "stereo/camera_focal.h"
#include "stereo/dot_centre.h"
#include "stereo/image.h"
#include "stereo/sp_point.h"

namespace q3d {

class Archive;

class CCamera {
 public:
  CCamera() = default;
  CCamera(const CCamera&) = delete;
  CCamera& operator=(const CCamera&) = delete;

  int Width() const { return m_image.Width(); }
  int Height() const { return m_image.Height(); }
  bool HasImage() const { return m_image.HasData(); }

  // Empties the point set and releases both images; the region is left as it is.
  void Clear();
  // Builds m_gray (3 channels, each the luminance) from m_image; nothing to do without a
  // colour image.
  Status MakeGray();
  // Loads the file as the colour image, builds the grey copy and sets the region to the
  // whole image.
  Status Load(const std::string& path);
  // Takes over the photograph another camera loaded (images, region, lens), leaving that
  // camera without one; the points stay as they are.
  void TakePhotograph(CCamera& loaded);
  // Places a point on the dark marker under the integer pixel (x, y), at the detector's
  // centre or, by default, at the precise centre where that step succeeds. found is set
  // to 1 when a point was added. Returns 1 unless an operation failed.
  int AddPointAt(int x, int y, int& found, DotCentring centring = DotCentring::kPrecise);
  // The centre of the dark marker under (x, y) without adding a point; empty when there
  // is none. Returns 1 unless an operation failed (error record pushed).
  int FindDotCentre(int x, int y, DotCentring centring, std::optional<cv::Point2d>& centre) const;
  void Serialize(Archive& ar);

  Image m_image;
  Image m_gray;
  CSpPointSet m_points;
  IplROI m_roi;
  CameraFocal m_focal;
};

}  // namespace q3d
