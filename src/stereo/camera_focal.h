#pragma once
// What is known of a photograph's focal length before a render: the value its metadata
// gives, the value the user entered, and the camera that took it.
#include <optional>
#include <string>

#include "numeric/render_pipeline.h"

namespace q3d {

struct CameraFocal {
  double exif_px = 0;     // 0: the photograph gives none
  double entered_px = 0;  // 0: none entered
  std::string make;       // of the camera, from the photograph's metadata
  std::string model;

  bool IsEmpty() const { return exif_px == 0 && entered_px == 0 && make.empty() && model.empty(); }
  // The entered value wins: the user entered it knowing what the photograph says.
  std::optional<KnownFocal> Known() const {
    if (entered_px > 0) return KnownFocal{entered_px, FocalSource::kEntered};
    if (exif_px > 0) return KnownFocal{exif_px, FocalSource::kExif};
    return std::nullopt;
  }
};

}  // namespace q3d
