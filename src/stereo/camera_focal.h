#pragma once
// What is known of a photograph's focal length before a render: the value its metadata
// gives, the value the user entered, and the camera that took it.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "numeric/render_pipeline.h"

namespace q3d {

// Focal lengths outside this range are typing errors, not lenses.
constexpr double kSmallestFocalPx = 1.0;
constexpr double kLargestFocalPx = 1e6;
// The diagonal of a 36 x 24 mm film frame: a 35 mm-equivalent focal length is stated
// against it, so it converts to pixels through the image's own diagonal.
constexpr double kFilmDiagonalMm = 43.27;

inline double FocalPxFrom35mm(double millimetres, int width, int height) {
  return millimetres * std::hypot(width, height) / kFilmDiagonalMm;
}
inline double Focal35mmFromPx(double pixels, int width, int height) {
  const double diagonal = std::hypot(width, height);
  return diagonal > 0 ? pixels * kFilmDiagonalMm / diagonal : 0;
}

// How precisely the metadata states a focal length. The 35 mm equivalent is a whole number
// of millimetres, so it is good to half a millimetre; the focal length with the sensor's
// resolution is stated finely and carries only the data sheet's own tolerance.
inline double Rounded35mmSigma(double millimetres) { return 0.5 / millimetres; }
constexpr double kFocalPlaneSigma = 0.01;
// The precisions a user may give an entered focal length, as shares of it.
constexpr double kSmallestFocalPrecision = 1e-4;
constexpr double kLargestFocalPrecision = 1.0;

struct CameraFocal {
  double exif_px = 0;     // 0: the photograph gives none
  double entered_px = 0;  // 0: none entered
  std::string make;       // of the camera, from the photograph's metadata
  std::string model;
  double exif_sigma = 0;  // relative precision of exif_px; 0: not stated
  // How precisely the user knows entered_px, as a share of it; 0: the usual precision.
  double entered_sigma = 0;
  // Why a focal length the photograph's metadata gives was ignored, for the user to hear;
  // not kept in the project.
  std::vector<std::string> exif_notes;

  bool IsEmpty() const { return exif_px == 0 && entered_px == 0 && make.empty() && model.empty(); }
  // The entered value wins: the user entered it knowing what the photograph says.
  std::optional<KnownFocal> Known() const {
    if (entered_px > 0) return KnownFocal{entered_px, FocalSource::kEntered, entered_sigma};
    if (exif_px > 0) return KnownFocal{exif_px, FocalSource::kExif, exif_sigma};
    return std::nullopt;
  }
};

}  // namespace q3d
